// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolerecord.h"

#include "consolelines.h"
#include "consoletext.h"

#include <QDateTime>
#include <QSaveFile>

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
                        const std::function<bool(qint64, qint64)> &progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return { SaveOutcome::Failed, file.errorString() };
    // What is there now: text that arrives while the file is written waits for the next.
    const qsizetype size = store.Size();
    qsizetype lines = store.LineCount();
    if (store.LineLength(lines - 1) == 0)
        --lines; // the empty line after the last line feed is no line of the file
    Clock clock;
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
        if (withTimes)
            out += clock.Stamp(store.LineTime(line));
        out += QStringView(piece).sliced(start - pieceFrom, end - start);
        out += QLatin1Char('\n');
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
