// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringView>

#include <array>
#include <functional>

struct CommandFamily;

// The operator's own sequence of commands: a plain UTF-8 text, one step a line.
//
//   # pairing check            a comment; empty lines are skipped
//   send AT+STATE?             the text, then the command box's line ending
//   send AT+NAME={addr}\r\n    with an escape in it, exactly as written: \r \n \t \\ \xHH
//   expect OK 500              until what arrives holds the text, within 500 ms (2000)
//   expect /\+STATE:\w+/       the same with a pattern
//   maybe OK 25000             as expect, but when the time runs out the sequence goes on
//   wait 1000                  a pause, in ms
//
// "{addr}" (the module's own address) and "{bind}" (the kept address, in the comma form the
// module takes) are values put in when the step runs. A file with any bad line is refused
// whole, with the line's number, so nothing of it is ever sent. An expect fails at once when
// the module refuses ("ERROR…" or "FAIL") with anything it does not wait for. Parsing costs
// a pass over the text.
struct SequenceStep
{
    enum class Kind { Send, Expect, Wait };

    Kind kind = Kind::Send;
    QString text; // what is sent, escapes resolved; what is expected
    bool exact = false; // send: written with its own line end, no line ending added
    QRegularExpression pattern; // expect /…/: valid when given
    int ms = 0; // expect: how long it waits; wait: the pause
    bool optional = false; // maybe: no reply in time is no failure
    int line = 0; // in the file, from 1
};

inline constexpr int DefaultExpectMs = 2000;
inline constexpr int LongestStepMs = 600000; // ten minutes: anything longer is a typing slip

struct ParsedSequence
{
    QList<SequenceStep> steps;
    int badLine = 0; // 0 when the whole file holds
    QString reason; // why that line is refused
};

ParsedSequence ParseSequence(QStringView text);

// What the guarded commands among the steps will do to the module of `family` (null for
// this tool's own), each once, for the 确认 box before the sequence runs; empty when none is
// guarded. `accepts` says which rates the open adapter can be set to.
QStringList SequenceWarnings(const QList<SequenceStep> &steps,
                             const CommandFamily *family = nullptr,
                             const std::function<bool(int rate)> &accepts = {});

// The sequences that come with the tool, under :/sequences: read-only, copied to the
// operator's folder to be changed. Only for this tool's own family of modules.
struct ShippedSequence
{
    const char *file;
    const char *caption; // "…" when a 确认 box comes first
    bool readAfter; // the panel is read again once it is done
};
extern const std::array<ShippedSequence, 3> ShippedSequences;
QString ShippedCaption(const ShippedSequence &shipped);
// The name in its notices: the caption without its "…".
QString ShippedName(const ShippedSequence &shipped);

// The step's text with its values put in; `missing` names a value that is not known now
// ("{bind}" with no address kept), and the text is then not to be sent.
QString
WithValues(const QString &text, const QString &address, const QString &bind, QString *missing);
