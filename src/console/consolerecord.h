// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRgb>
#include <QString>

#include <functional>

class ConsoleLines;

// What the record can tell beside the text, while the operator asks for it: which way each
// line went, by its colour, and where a port opened. Where a port opened is noted whether
// or not it is asked for, so that a save made later has it.
class RecordMarks
{
public:
    struct Port
    {
        qsizetype line;
        qsizetype offsets[2]; // where in the line the text stood: as text, as hex
        QString text;
    };

    // The colour of what came in; every other colour went out.
    void SetReceivedColour(QRgb colour) { m_received = colour; }
    // "> " for what went out, "< " for what came in.
    QLatin1String Prefix(QRgb colour) const;
    void NotePort(Port port) { m_ports.append(std::move(port)); }
    // The ports noted in a line, in the order they opened.
    QList<Port> PortsIn(qsizetype line) const;
    void Clear() { m_ports.clear(); }

private:
    QRgb m_received = 0; // no colour text comes in: until it is known, all went out
    QList<Port> m_ports; // in the order of their lines
};

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
// false to cancel. With `directions`, each line tells which way it went, and where a port
// opened (see RecordWriter); `hex`: the lines are the hex form.
SaveOutcome SaveConsole(const ConsoleLines &store,
                        const QString &path,
                        bool withTimes,
                        const std::function<bool(qint64, qint64)> &progress = {},
                        const RecordMarks *directions = nullptr,
                        bool hex = false);

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

// Writes the console's lines into a record (a saved file, the running log), a piece of a
// line at a time: each line's time in front while times are shown; while directions are
// recorded, "> " or "< " after it, and a line of its own where a port opened. A line whose
// text changes direction, or in which a port opened, goes on in another line of the record
// with its own prefix. Without directions, the record is the text as the console shows it.
class RecordWriter
{
public:
    void SetTimes(bool withTimes) { m_withTimes = withTimes; }
    // Null: no directions.
    void SetDirections(const RecordMarks *marks) { m_marks = marks; }
    // Writes [from, to) of a line to `out`, offsets from the line's start, `text` the
    // pictured text of that range; `ended`: the range reaches the line's end, which follows.
    void Write(const ConsoleLines &lines,
               bool hex,
               qsizetype line,
               qsizetype from,
               qsizetype to,
               bool ended,
               QStringView text,
               QString &out);
    // Whether a line of the record has begun and not ended.
    bool LineOpen() const { return m_open; }
    // Starts afresh at the beginning of a line.
    void Reset();

private:
    void Begin(const ConsoleLines &lines, bool hex, qsizetype line, QRgb colour, QString &out);
    void Break(bool hex, QString &out);
    void WritePorts(bool hex, const QList<RecordMarks::Port> &ports, qsizetype upTo, QString &out);

    const RecordMarks *m_marks = nullptr;
    bool m_withTimes = false;
    Clock m_clock;
    bool m_open = false;
    QLatin1String m_prefix; // of the open line
    bool m_anyText = false; // of the console's line
    qsizetype m_portsWritten = 0; // of the console's line
};

// The text [from, to) as copy gives it: controls as their pictures, and with `withTimes`
// the time of each line in front of it, of the first line too, as the saved file has them.
QString RecordText(const ConsoleLines &lines, qsizetype from, qsizetype to, bool withTimes);
