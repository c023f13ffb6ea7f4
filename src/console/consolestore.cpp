// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolestore.h"

#include <algorithm>
#include <iterator>
#include <limits>

#ifdef __GLIBC__
#include <malloc.h>
#endif

void GiveBackFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

ConsoleStore::ConsoleStore() = default;

ConsoleStore::~ConsoleStore() = default;

void ConsoleStore::Clear()
{
    m_trimDue = m_trimDue || Size() > 0;
    m_text.Clear();
    m_bytes.Clear();
    m_timeBases.clear();
    m_runs.clear();
    m_longLines.Clear();
    m_hexLongLines.Clear();
}

bool ConsoleStore::ReleaseCleared()
{
    if (m_text.ReleaseCleared())
        return true;
    if (m_trimDue)
        GiveBackFreedMemory(); // what was smaller than a block stays in the heap till then
    m_trimDue = false;
    return false;
}

void ConsoleStore::AppendCopies(qsizetype times)
{
    Q_ASSERT(Size() % BlockChars == 0 && LineLength(LineCount() - 1) == 0
             && m_bytes.Open().isEmpty());
    const qsizetype size = Size();
    const qsizetype lines = LineCount() - 1; // the empty line after the last line feed aside
    const qsizetype runs = m_runs.size();
    const qsizetype bases = m_timeBases.size();
    for (qsizetype copy = 1; copy <= times; ++copy) {
        for (qsizetype base = 0; base < bases; ++base)
            m_timeBases.append(
                { m_timeBases.at(base).first + copy * lines, m_timeBases.at(base).second });
        for (qsizetype run = 0; run < runs; ++run) {
            if (m_runs.last().second != m_runs.at(run).second)
                m_runs.append({ m_runs.at(run).first + copy * size, m_runs.at(run).second });
        }
    }
    m_text.AppendCopies(times);
    m_bytes.AppendCopies(times, lines);
    m_longLines.AppendCopies(times, lines);
    m_hexLongLines.AppendCopies(times, lines);
}

void ConsoleStore::Append(QStringView text, QRgb colour, qint64 time)
{
    // The text in UTF-8, each line feed after a CR.
    QByteArray bytes = text.toUtf8();
    bytes.replace('\n', QByteArrayView("\r\n"));
    Append(text, colour, time, bytes);
}

void ConsoleStore::Append(QStringView text, QRgb colour, qint64 time, QByteArrayView bytes)
{
    const qsizetype firstChanged = LineCount() - 1;
    if (!text.isEmpty()) {
        if (m_runs.isEmpty() || m_runs.last().second != colour)
            m_runs.append({ Size(), colour });
        m_text.Append(text, Stamp(time));
        // Only the last line grows, so only the last long line can change.
        for (qsizetype line = firstChanged; line < LineCount(); ++line)
            m_longLines.Set(line, ExtraSegments(LineLength(line)));
    }
    AppendBytes(bytes, colour, firstChanged);
}

quint32 ConsoleStore::Stamp(qint64 time)
{
    if (time == 0)
        return 0;
    constexpr qint64 Span = std::numeric_limits<quint32>::max() - 1;
    if (m_timeBases.isEmpty() || time < m_timeBases.last().second
        || time - m_timeBases.last().second > Span) {
        // From the line that the append stamps first.
        const qsizetype first = m_text.OpenStamp() == 0 ? LineCount() - 1 : LineCount();
        m_timeBases.append({ first, time });
    }
    return quint32(time - m_timeBases.last().second + 1);
}

qint64 ConsoleStore::LineTime(qsizetype line) const
{
    const quint32 stamp = m_text.Stamp(line);
    if (stamp == 0)
        return 0;
    const auto after = std::upper_bound(
        m_timeBases.cbegin(), m_timeBases.cend(), line,
        [](qsizetype l, const std::pair<qsizetype, qint64> &base) { return l < base.first; });
    return std::prev(after)->second + stamp - 1;
}

bool ConsoleStore::InsidePair(qsizetype pos) const
{
    return pos > 0 && pos < Size() && At(pos).isLowSurrogate() && At(pos - 1).isHighSurrogate();
}

QList<ConsoleStore::Run> ConsoleStore::Runs(qsizetype from, qsizetype to) const
{
    auto it = std::upper_bound(m_runs.cbegin(), m_runs.cend(), from,
                               [](qsizetype pos, const Run &run) { return pos < run.first; });
    if (it != m_runs.cbegin())
        --it;
    QList<Run> runs;
    for (; it != m_runs.cend() && (runs.isEmpty() || it->first < to); ++it)
        runs.append(*it);
    return runs;
}

std::pair<ConsoleStore::Run, qsizetype> ConsoleStore::RunAt(qsizetype pos) const
{
    const auto after = std::upper_bound(m_runs.cbegin(), m_runs.cend(), pos,
                                        [](qsizetype p, const Run &run) { return p < run.first; });
    if (after == m_runs.cbegin())
        return { { 0, qRgb(0, 0, 0) }, 0 };
    return { *(after - 1), after == m_runs.cend() ? Size() : after->first };
}

qsizetype ConsoleStore::SegmentStart(qsizetype lineStart, qsizetype index) const
{
    // A cut between the halves of a pair moves one unit back: the character stays whole.
    const qsizetype at = lineStart + index * SegmentLimit;
    return index > 0 && InsidePair(at) ? at - 1 : at;
}

std::pair<qsizetype, qsizetype> ConsoleStore::SegmentRange(qsizetype segment) const
{
    const auto [line, index] = SegmentLine(segment);
    const qsizetype lineStart = LineStart(line);
    const qsizetype lineEnd = lineStart + LineLength(line);
    const bool last = index == ExtraSegments(lineEnd - lineStart);
    return { SegmentStart(lineStart, index), last ? lineEnd : SegmentStart(lineStart, index + 1) };
}

qsizetype ConsoleStore::SegmentOf(qsizetype pos) const
{
    pos = std::clamp<qsizetype>(pos, 0, Size());
    const qsizetype line = LineOf(pos);
    const qsizetype lineStart = LineStart(line);
    const qsizetype extra = ExtraSegments(LineLength(line));
    qsizetype index = std::min((pos - lineStart) / SegmentLimit, extra);
    if (index < extra && pos >= SegmentStart(lineStart, index + 1))
        ++index; // the next segment begins one unit early, with a whole pair
    return FirstSegment(line) + index;
}
