// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class ConsoleLines;

// The console's text as the operator keeps it: UTF-8, each control as its picture (as copy
// gives it), a line feed at the end of every line, and with `withTimes` each line's
// arrival time in front ("[hh:mm:ss.zzz] "), as the margin shows it.
struct SaveOutcome
{
    enum { Saved, Cancelled, Failed } result;
    QString reason; // why it failed
};

// Writes the text as it is now to `path`, whole or not at all (a failed or cancelled save
// leaves the file as it was). `progress(done, total)` is called now and then; it returns
// false to cancel.
SaveOutcome SaveConsole(const ConsoleLines &store,
                        const QString &path,
                        bool withTimes,
                        const std::function<bool(qint64, qint64)> &progress = {});

// Local clock times, many a second: the offset from UTC is looked up once an hour of the
// session, not for every line, and again where the zone changes it (summer time) within
// that hour.
class Clock
{
public:
    // hh:mm:ss.zzz in local time, as the margin shows it.
    QString Text(qint64 msecs);
    // The time as the saved file puts it in front of a line: "[hh:mm:ss.zzz] ".
    QString Stamp(qint64 msecs) { return QLatin1Char('[') + Text(msecs) + QLatin1String("] "); }

private:
    qint64 m_from = 0; // the offset holds from here to m_until
    qint64 m_until = 0;
    qint64 m_offset = 0;
};

// The text [from, to) as copy gives it: controls as their pictures, and with `withTimes`
// the time of each line in front of it, of the first line too, as the saved file has them.
QString RecordText(const ConsoleLines &lines, qsizetype from, qsizetype to, bool withTimes);
