// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "enginestate.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>

// What a batch at the bench decides without a window: the per-module values its profile
// makes of its templates, the counter, the verdict, and the record, one CSV line a module.

// A value of the profile for one module. "{n}" is the counter, "{n:03}" the counter in at
// least three digits with leading zeros (a width of 1 to 9), "{addr}" the last six hex
// digits of the module's own address in small letters. Anything else between braces is
// refused, naming it, as is a lone brace. Costs a pass over the pattern.
struct ExpandedValue
{
    QString value;
    QString error; // empty when the pattern holds
};
ExpandedValue ExpandTemplate(const QString &pattern, int counter, const QString &address);
// Whether the pattern uses the module's address (which must then be read before writing).
bool UsesAddress(const QString &pattern);

// One field and one line of RFC 4180: a field holding a comma, a quote, CR or LF is put
// in quotes, its quotes doubled; a line ends in CR LF.
QString CsvField(const QString &field);
QString CsvLine(const QStringList &fields);

// One module of a batch, as the record keeps it.
struct BatchEntry
{
    enum class Result { Passed, Failed, HalfWritten, Repeated };

    QDateTime time;
    QString port; // "1"
    QString device; // "ttyUSB0"
    QString family; // the family's caption, or this tool's own
    QString firmware;
    QString address;
    std::array<QString, UpdateSteps> before; // by update step, as read before writing
    std::array<QString, UpdateSteps> after; // as read back
    Result result = Result::Failed;
    QStringList differences; // "连接密码未保留", a sentence each
};

// The verdict the window shows big and plain: "通过 · BENCH-007 · 98d3:31:fd5e6f", or
// "未通过 · 连接密码未保留".
QString BatchVerdict(const BatchEntry &entry, const QString &name);
// The result's word in the record.
QString ResultWord(BatchEntry::Result result);

// The batch's record: a CSV file in UTF-8 that a spreadsheet opens as it is. A new or
// empty file gets a header line; an existing one is appended to. Each line is written
// and flushed to the system before Write returns, so a crash of the tool loses none.
// Write costs one line; Open reads the file once, for the addresses it holds already.
class BatchRecord
{
    Q_DECLARE_TR_FUNCTIONS(BatchRecord)

public:
    // "tarvenit-batch-20261209-135100.csv"
    static QString DefaultName(const QDateTime &when);

    // `settings`: the nine settings' names, by update step, for the header.
    explicit BatchRecord(const QStringList &settings);

    // False, with the reason, when the file cannot be opened for appending.
    bool Open(const QString &path, QString *error);
    bool Write(const BatchEntry &entry, QString *error);
    // Whether a module of this address passed in this record already (case and separators
    // aside).
    bool Seen(const QString &address) const;

    QStringList Header() const;
    QString Path() const { return m_file.fileName(); }

private:
    QStringList m_settings;
    QFile m_file;
    QSet<QString> m_seen;
};
