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

// A time as the margin shows it, hh:mm:ss.zzz in local time.
QString ClockText(qint64 msecsSinceEpoch);
