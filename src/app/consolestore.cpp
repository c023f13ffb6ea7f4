// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolestore.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype BlockChars = 1 << 16;

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
    m_blocks.clear();
    m_size = 0;
    m_lineStarts = { 0 };
    m_runs.clear();
    m_longLines.clear();
    m_extraSegments = 0;
}

void ConsoleStore::Append(QStringView text, QRgb colour)
{
    if (text.isEmpty())
        return;
    if (m_runs.isEmpty() || m_runs.last().second != colour)
        m_runs.append({ m_size, colour });
    const qsizetype firstChanged = LineCount() - 1;
    const qsizetype base = m_size;
    AppendText(text);
    for (qsizetype i = text.indexOf(QLatin1Char('\n')); i >= 0;
         i = text.indexOf(QLatin1Char('\n'), i + 1))
        m_lineStarts.append(base + i + 1);
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
            m_blocks.push_back(std::make_unique<Block>());
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

QList<std::pair<qsizetype, QRgb>> ConsoleStore::Runs(qsizetype from, qsizetype to) const
{
    auto it = std::upper_bound(m_runs.cbegin(), m_runs.cend(), from,
                               [](qsizetype pos, const auto &run) { return pos < run.first; });
    if (it != m_runs.cbegin())
        --it;
    QList<std::pair<qsizetype, QRgb>> runs;
    for (; it != m_runs.cend() && (runs.isEmpty() || it->first < to); ++it)
        runs.append(*it);
    return runs;
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

std::pair<qsizetype, qsizetype> ConsoleStore::SegmentRange(qsizetype segment) const
{
    const auto [line, index] = SegmentLine(segment);
    const qsizetype lineStart = LineStart(line);
    const qsizetype start = lineStart + index * SegmentLimit;
    return { start, std::min(start + SegmentLimit, lineStart + LineLength(line)) };
}

qsizetype ConsoleStore::SegmentOf(qsizetype pos) const
{
    const qsizetype line = LineOf(pos);
    const qsizetype length = LineLength(line);
    const qsizetype index = std::min((pos - LineStart(line)) / SegmentLimit, ExtraSegments(length));
    return FirstSegment(line) + index;
}
