// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolestore.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

bool IsLatin1(QStringView text)
{
    char16_t seen = 0;
    for (const QChar c : text)
        seen |= c.unicode();
    return seen < 0x100;
}

} // namespace

// A fixed number of characters; narrow until the first character past Latin-1 arrives.
struct ConsoleStore::Block
{
    std::unique_ptr<quint8[]> narrow { new quint8[BlockChars] };
    std::unique_ptr<char16_t[]> wide;

    void Widen(qsizetype used)
    {
        wide.reset(new char16_t[BlockChars]);
        std::copy_n(narrow.get(), used, wide.get());
        narrow.reset();
    }
};

ConsoleStore::ConsoleStore()
{
    Clear();
}

ConsoleStore::~ConsoleStore() = default;

void ConsoleStore::Clear()
{
    const bool held = !m_blocks.empty();
    m_blocks.clear();
    m_size = 0;
    m_lineStarts = { 0 };
    m_lineTimes = { 0 };
    m_timeBases.clear();
    m_runs.clear();
    m_longLines.clear();
    m_extraSegments = 0;
#ifdef __GLIBC__
    // The blocks are smaller than the threshold above which glibc maps blocks of their own:
    // freed, they stay in the heap, gigabytes of it after a long session.
    if (held)
        malloc_trim(0);
#else
    Q_UNUSED(held);
#endif
}

void ConsoleStore::AppendCopies(qsizetype times)
{
    Q_ASSERT(m_size % BlockChars == 0 && LineLength(LineCount() - 1) == 0);
    const qsizetype size = m_size;
    const qsizetype lines = LineCount() - 1; // the empty line after the last line feed aside
    const qsizetype blocks = qsizetype(m_blocks.size());
    const qsizetype runs = m_runs.size();
    const qsizetype bases = m_timeBases.size();
    const qsizetype longLines = m_longLines.size();
    const qsizetype extra = m_extraSegments;
    m_lineStarts.reserve(lines * (times + 1) + 1);
    m_lineTimes.reserve(lines * (times + 1) + 1);
    m_lineTimes.removeLast();
    for (qsizetype copy = 1; copy <= times; ++copy) {
        const qsizetype shift = copy * size;
        const qsizetype lineShift = copy * lines;
        for (qsizetype block = 0; block < blocks; ++block)
            m_blocks.push_back(m_blocks[size_t(block)]);
        for (qsizetype line = 1; line <= lines; ++line)
            m_lineStarts.append(m_lineStarts.at(line) + shift);
        for (qsizetype line = 0; line < lines; ++line)
            m_lineTimes.append(m_lineTimes.at(line));
        for (qsizetype base = 0; base < bases; ++base)
            m_timeBases.append(
                { m_timeBases.at(base).first + lineShift, m_timeBases.at(base).second });
        for (qsizetype run = 0; run < runs; ++run) {
            if (m_runs.last().second != m_runs.at(run).second)
                m_runs.append({ m_runs.at(run).first + shift, m_runs.at(run).second });
        }
        for (qsizetype l = 0; l < longLines; ++l) {
            const LongLine &longLine = m_longLines.at(l);
            m_longLines.append(
                { longLine.line + lineShift, longLine.extraBefore + copy * extra, longLine.extra });
        }
    }
    m_lineTimes.append(0);
    m_size = size * (times + 1);
    m_extraSegments = extra * (times + 1);
}

void ConsoleStore::Append(QStringView text, QRgb colour, qint64 time)
{
    if (text.isEmpty())
        return;
    if (m_runs.isEmpty() || m_runs.last().second != colour)
        m_runs.append({ m_size, colour });
    const qsizetype firstChanged = LineCount() - 1;
    const qsizetype base = m_size;
    const quint32 stamp = Stamp(time);
    AppendText(text);
    if (m_lineTimes.last() == 0)
        m_lineTimes.last() = stamp;
    for (qsizetype i = text.indexOf(QLatin1Char('\n')); i >= 0;
         i = text.indexOf(QLatin1Char('\n'), i + 1)) {
        m_lineStarts.append(base + i + 1);
        // A line that begins at the end of the text has no character yet.
        m_lineTimes.append(i + 1 < text.size() ? stamp : 0);
    }
    for (qsizetype line = firstChanged; line < LineCount(); ++line) {
        const qsizetype extra = ExtraSegments(LineLength(line));
        if (extra == 0)
            continue;
        // Only the last line grows, so only the last long line can change.
        if (!m_longLines.isEmpty() && m_longLines.last().line == line) {
            m_extraSegments += extra - m_longLines.last().extra;
            m_longLines.last().extra = extra;
        } else {
            m_longLines.append({ line, m_extraSegments, extra });
            m_extraSegments += extra;
        }
    }
}

void ConsoleStore::AppendText(QStringView text)
{
    while (!text.isEmpty()) {
        const auto index = size_t(m_size / BlockChars);
        const qsizetype offset = m_size % BlockChars;
        if (index == m_blocks.size())
            m_blocks.push_back(std::make_shared<Block>());
        Block &block = *m_blocks[index];
        const qsizetype take = std::min(text.size(), BlockChars - offset);
        const QStringView piece = text.first(take);
        if (block.narrow && !IsLatin1(piece))
            block.Widen(offset);
        if (block.narrow) {
            quint8 *out = block.narrow.get() + offset;
            for (const QChar c : piece)
                *out++ = quint8(c.unicode());
        } else {
            std::memcpy(block.wide.get() + offset, piece.utf16(), size_t(take) * sizeof(char16_t));
        }
        m_size += take;
        text = text.sliced(take);
    }
}

quint32 ConsoleStore::Stamp(qint64 time)
{
    if (time == 0)
        return 0;
    constexpr qint64 Span = std::numeric_limits<quint32>::max() - 1;
    if (m_timeBases.isEmpty() || time < m_timeBases.last().second
        || time - m_timeBases.last().second > Span) {
        // From the line that the append stamps first.
        const qsizetype first = m_lineTimes.last() == 0 ? LineCount() - 1 : LineCount();
        m_timeBases.append({ first, time });
    }
    return quint32(time - m_timeBases.last().second + 1);
}

qint64 ConsoleStore::LineTime(qsizetype line) const
{
    const quint32 stamp = m_lineTimes.at(line);
    if (stamp == 0)
        return 0;
    const auto after = std::upper_bound(
        m_timeBases.cbegin(), m_timeBases.cend(), line,
        [](qsizetype l, const std::pair<qsizetype, qint64> &base) { return l < base.first; });
    return std::prev(after)->second + stamp - 1;
}

qsizetype ConsoleStore::LineOf(qsizetype pos) const
{
    const auto after = std::upper_bound(m_lineStarts.cbegin(), m_lineStarts.cend(), pos);
    return std::max<qsizetype>(0, after - m_lineStarts.cbegin() - 1);
}

qsizetype ConsoleStore::LineLength(qsizetype line) const
{
    const qsizetype end = line + 1 < LineCount() ? m_lineStarts.at(line + 1) - 1 : m_size;
    return end - m_lineStarts.at(line);
}

QString ConsoleStore::Text(qsizetype from, qsizetype to) const
{
    from = std::clamp<qsizetype>(from, 0, m_size);
    to = std::clamp<qsizetype>(to, from, m_size);
    QString text;
    text.reserve(to - from);
    while (from < to) {
        const Block &block = *m_blocks[size_t(from / BlockChars)];
        const qsizetype offset = from % BlockChars;
        const qsizetype take = std::min(to - from, BlockChars - offset);
        if (block.narrow)
            text += QLatin1StringView(reinterpret_cast<const char *>(block.narrow.get()) + offset,
                                      take);
        else
            text += QStringView(block.wide.get() + offset, take);
        from += take;
    }
    return text;
}

QChar ConsoleStore::At(qsizetype pos) const
{
    const Block &block = *m_blocks[size_t(pos / BlockChars)];
    const qsizetype offset = pos % BlockChars;
    return block.narrow ? QChar(block.narrow[offset]) : QChar(block.wide[offset]);
}

bool ConsoleStore::InsidePair(qsizetype pos) const
{
    return pos > 0 && pos < m_size && At(pos).isLowSurrogate() && At(pos - 1).isHighSurrogate();
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
    return { *(after - 1), after == m_runs.cend() ? m_size : after->first };
}

qsizetype ConsoleStore::FirstSegment(qsizetype line) const
{
    const auto after = std::lower_bound(m_longLines.cbegin(), m_longLines.cend(), line,
                                        [](const LongLine &l, qsizetype n) { return l.line < n; });
    if (after == m_longLines.cbegin())
        return line;
    const LongLine &before = *(after - 1);
    return line + before.extraBefore + before.extra;
}

std::pair<qsizetype, qsizetype> ConsoleStore::SegmentLine(qsizetype segment) const
{
    const auto after = std::upper_bound(
        m_longLines.cbegin(), m_longLines.cend(), segment,
        [](qsizetype s, const LongLine &l) { return s < l.line + l.extraBefore; });
    if (after == m_longLines.cbegin())
        return { segment, 0 };
    const LongLine &l = *(after - 1);
    const qsizetype first = l.line + l.extraBefore;
    if (segment <= first + l.extra)
        return { l.line, segment - first };
    return { l.line + (segment - first - l.extra), 0 };
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
    pos = std::clamp<qsizetype>(pos, 0, m_size);
    const qsizetype line = LineOf(pos);
    const qsizetype lineStart = LineStart(line);
    const qsizetype extra = ExtraSegments(LineLength(line));
    qsizetype index = std::min((pos - lineStart) / SegmentLimit, extra);
    if (index < extra && pos >= SegmentStart(lineStart, index + 1))
        ++index; // the next segment begins one unit early, with a whole pair
    return FirstSegment(line) + index;
}
