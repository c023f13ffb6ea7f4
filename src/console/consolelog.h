// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "consolehex.h"
#include "consolerecord.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

class ConsoleStore;

// The running log: every line appended to a file as the saved file has it (UTF-8, controls
// as their pictures, with its time in front while times are shown, and which way it went
// while directions are recorded), from the line that is
// arriving when it starts. What arrived is written out and handed to the disk twice a
// second, so that a killed tool or a lost machine loses at most the last second; with
// nothing new, the disk is left alone. A line is written in the form shown (text or hex)
// when it begins. A write that fails, or a file that is removed (noticed within a second),
// stops the log; the console keeps everything.
class ConsoleLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int WriteMilliseconds = 500;
    static constexpr int CheckMilliseconds = 1000; // a removed file is noticed within this

    explicit ConsoleLog(const ConsoleStore &store);
    ~ConsoleLog() override;

    // Appends to `path` from now on; false, with the reason, when it cannot be opened or
    // is no plain file (a named pipe, a device). Never waits on the file.
    bool Start(const QString &path, QString &reason);
    // Writes what is left, and closes the file.
    void Stop();
    bool Running() const { return m_file.isOpen(); }
    QString Path() const { return m_path; }
    void SetHexShown(bool shown) { m_hexShown = shown; }
    void SetTimesShown(bool shown) { m_writer.SetTimes(shown); }
    // Null: no directions (see RecordWriter).
    void SetDirections(const RecordMarks *marks) { m_writer.SetDirections(marks); }
    // Around a clear of the console: what is there is written first, and the log goes on
    // with the empty console.
    void BeforeClear();
    void AfterClear();
    // Writes what arrived since the last time and hands it to the disk (the timer does).
    void WriteOut();

signals:
    void failed(const QString &path, const QString &reason);

private:
    bool Open(const QString &path, QString &reason);
    bool Write(const QString &text);
    // Hands what was written to the disk; false, the log stopped, when that fails.
    bool Sync();
    // Stops the log if the file is no longer where it was opened.
    void CheckStillThere();
    void Fail(const QString &reason);

    const ConsoleStore &m_store;
    HexLines m_hex;
    QFile m_file;
    QString m_path;
    QTimer m_timer;
    bool m_unsynced = false; // written since the disk last had it all
    QElapsedTimer m_checked; // since the file was last found where it was opened
    bool m_hexShown = false;
    RecordWriter m_writer;
    qsizetype m_line = 0; // the line being written
    qsizetype m_written = 0; // of its characters, in the form it began in
    bool m_lineHex = false; // that form
};
