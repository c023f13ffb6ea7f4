// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolerecord.h"

#include "consolelines.h"
#include "consoletext.h"

#include <QDateTime>
#include <QSaveFile>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 MsecsPerHour = 3600 * 1000;
constexpr qint64 MsecsPerDay = 24 * MsecsPerHour;

qint64 OffsetAt(qint64 msecs)
{
    return qint64(QDateTime::fromMSecsSinceEpoch(msecs).offsetFromUtc()) * 1000;
}

} // namespace

QString Clock::Text(qint64 msecs)
{
    if (msecs < m_from || msecs >= m_until) {
        m_offset = OffsetAt(msecs);
        m_from = msecs;
        m_until = msecs + MsecsPerHour;
        // The offset changes within the hour: halve the way to the millisecond it does.
        for (qint64 same = msecs; OffsetAt(m_until) != m_offset && m_until - same > 1;) {
            const qint64 middle = same + (m_until - same) / 2;
            (OffsetAt(middle) == m_offset ? same : m_until) = middle;
        }
    }
    qint64 day = (msecs + m_offset) % MsecsPerDay;
    if (day < 0)
        day += MsecsPerDay;
    const int parts[] = { int(day / MsecsPerHour), int(day / 60000 % 60), int(day / 1000 % 60) };
    QString text(12, QLatin1Char('0'));
    for (int i = 0; i < 3; ++i) {
        text[i * 3] = QLatin1Char(char('0' + parts[i] / 10));
        text[i * 3 + 1] = QLatin1Char(char('0' + parts[i] % 10));
        if (i < 2)
            text[i * 3 + 2] = QLatin1Char(':');
    }
    text[8] = QLatin1Char('.');
    const int milli = int(day % 1000);
    text[9] = QLatin1Char(char('0' + milli / 100));
    text[10] = QLatin1Char(char('0' + milli / 10 % 10));
    text[11] = QLatin1Char(char('0' + milli % 10));
    return text;
}

QLatin1String RecordMarks::Prefix(QRgb colour) const
{
    return colour == m_received ? QLatin1String("< ") : QLatin1String("> ");
}

QList<RecordMarks::Port> RecordMarks::PortsIn(qsizetype line) const
{
    auto at = std::lower_bound(m_ports.cbegin(), m_ports.cend(), line,
                               [](const Port &port, qsizetype l) { return port.line < l; });
    QList<Port> ports;
    for (; at != m_ports.cend() && at->line == line; ++at)
        ports.append(*at);
    return ports;
}

void RecordWriter::Reset()
{
    m_open = false;
    m_anyText = false;
    m_portsWritten = 0;
}

void RecordWriter::Begin(
    const ConsoleLines &lines, bool hex, qsizetype line, QRgb colour, QString &out)
{
    if (m_open)
        Break(hex, out);
    if (m_withTimes)
        out += m_clock.Stamp(lines.LineTime(line));
    m_prefix = m_marks ? m_marks->Prefix(colour) : QLatin1String();
    out += m_prefix;
    m_open = true;
}

void RecordWriter::Break(bool hex, QString &out)
{
    // The space between two bytes is no part of either line of the record.
    if (hex && out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    out += QLatin1Char('\n');
    m_open = false;
}

void RecordWriter::WritePorts(bool hex,
                              const QList<RecordMarks::Port> &ports,
                              qsizetype upTo,
                              QString &out)
{
    for (; m_portsWritten < ports.size() && ports[m_portsWritten].offsets[hex] <= upTo;
         ++m_portsWritten) {
        if (m_open)
            Break(hex, out);
        out += ports[m_portsWritten].text;
        out += QLatin1Char('\n');
    }
}

void RecordWriter::Write(const ConsoleLines &lines,
                         bool hex,
                         qsizetype line,
                         qsizetype from,
                         qsizetype to,
                         bool ended,
                         QStringView text,
                         QString &out)
{
    const qsizetype start = lines.LineStart(line);
    if (!m_marks) { // the text as the console shows it
        if (from < to && !m_open)
            Begin(lines, hex, line, 0, out);
        out += text;
        if (ended) {
            if (!m_open && m_withTimes)
                out += m_clock.Stamp(lines.LineTime(line)); // an empty line has its time too
            out += QLatin1Char('\n');
            Reset();
        }
        return;
    }
    const QList<RecordMarks::Port> ports = m_marks->PortsIn(line);
    // The runs up to the line feed: an empty line goes the way its line feed went.
    const QList<ConsoleLines::Run> runs = lines.Runs(start + from, start + to + 1);
    qsizetype run = 0;
    for (qsizetype at = from; at < to;) {
        WritePorts(hex, ports, at, out);
        while (run + 1 < runs.size() && runs[run + 1].first <= start + at)
            ++run;
        qsizetype next = run + 1 < runs.size() ? std::min(to, runs[run + 1].first - start) : to;
        if (m_portsWritten < ports.size())
            next = std::min(next, std::max(at + 1, ports[m_portsWritten].offsets[hex]));
        const QRgb colour = runs.isEmpty() ? 0 : runs[run].second;
        QStringView piece = text.sliced(at - from, next - at);
        if (!m_open || m_marks->Prefix(colour) != m_prefix) {
            Begin(lines, hex, line, colour, out);
            if (hex && m_anyText && piece.startsWith(QLatin1Char(' ')))
                piece = piece.sliced(1);
        }
        out += piece;
        m_anyText = true;
        at = next;
    }
    // A port that opened after the text written so far is told at once; at the line's end,
    // every one of the line.
    WritePorts(hex, ports, ended ? std::numeric_limits<qsizetype>::max() : to, out);
    if (!ended)
        return;
    if (!m_anyText && !runs.isEmpty())
        Begin(lines, hex, line, runs.last().second, out); // an empty line
    if (m_open)
        out += QLatin1Char('\n');
    Reset();
}

QString RecordText(const ConsoleLines &lines, qsizetype from, qsizetype to, bool withTimes)
{
    if (!withTimes)
        return Pictured(lines.Text(from, to));
    Clock clock;
    QString text;
    for (qsizetype line = lines.LineOf(from); from < to; ++line) {
        const qsizetype next
            = line + 1 < lines.LineCount() ? lines.LineStart(line + 1) : lines.Size();
        text += clock.Stamp(lines.LineTime(line));
        text += Pictured(lines.Text(from, std::min(to, next)));
        from = next;
    }
    return text;
}

SaveOutcome SaveConsole(const ConsoleLines &store,
                        const QString &path,
                        bool withTimes,
                        const std::function<bool(qint64, qint64)> &progress,
                        const RecordMarks *directions,
                        bool hex)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return { SaveOutcome::Failed, file.errorString() };
    // What is there now: text that arrives while the file is written waits for the next.
    const qsizetype size = store.Size();
    const qsizetype lines = store.LineCount();
    RecordWriter writer;
    writer.SetTimes(withTimes);
    writer.SetDirections(directions);
    QString piece; // the text of [pieceFrom, pieceTo), controls as their pictures
    qsizetype pieceFrom = 0;
    qsizetype pieceTo = 0;
    QString out;
    for (qsizetype line = 0; line < lines; ++line) {
        const qsizetype start = store.LineStart(line);
        const qsizetype end = start + store.LineLength(line);
        if (end > pieceTo) { // a piece of whole lines, or a long line alone
            pieceFrom = start;
            pieceTo = std::max(end, std::min(size, start + TextPiece));
            piece = Pictured(store.Text(pieceFrom, pieceTo));
        }
        // The empty line after the last line feed is no line of the file; a port that
        // opened there is.
        const bool ended = line + 1 < lines || end > start;
        writer.Write(store, hex, line, 0, end - start, ended,
                     end > start ? QStringView(piece).sliced(start - pieceFrom, end - start)
                                 : QStringView(),
                     out);
        if (out.size() < TextPiece && line + 1 < lines)
            continue;
        if (file.write(out.toUtf8()) < 0)
            return { SaveOutcome::Failed, file.errorString() };
        out.clear();
        if (progress && !progress(end, size)) {
            file.cancelWriting();
            return { SaveOutcome::Cancelled, QString() };
        }
    }
    if (!file.commit())
        return { SaveOutcome::Failed, file.errorString() };
    return { SaveOutcome::Saved, QString() };
}
