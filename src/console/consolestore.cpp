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

bool IsAscii(QByteArrayView text)
{
    quint8 seen = 0;
    for (const char c : text)
        seen |= quint8(c);
    return seen < 0x80;
}

bool IsLatin1(QStringView text)
{
    char16_t seen = 0;
    for (const QChar c : text)
        seen |= c.unicode();
    return seen < 0x100;
}

// The room for the bytes of the line being received that stays once it ends.
constexpr qsizetype OpenBytesKept = 4096;

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
    m_trimDue = m_trimDue || !m_blocks.empty();
    if (m_clearedBlocks.empty())
        m_clearedBlocks = std::move(m_blocks);
    else
        m_clearedBlocks.insert(m_clearedBlocks.end(), std::make_move_iterator(m_blocks.begin()),
                               std::make_move_iterator(m_blocks.end()));
    m_blocks.clear();
    m_size = 0;
    m_clearedStarts.push_back(std::exchange(m_lineStarts, { 0 }));
    m_clearedStarts.push_back(std::exchange(m_hexStarts, { 0 }));
    m_clearedTimes.push_back(std::exchange(m_lineTimes, { 0 }));
    m_timeBases.clear();
    m_runs.clear();
    m_longLines.Clear();
    m_hexLongLines.Clear();
    m_oddLines.clear();
    m_oddBytes.clear();
    m_oddRuns.clear();
    m_openBytes.clear();
    m_openRuns.clear();
}

bool ConsoleStore::ReleaseCleared()
{
    constexpr size_t BlocksAtOnce = 256; // 32 MiB and more
    if (!m_clearedBlocks.empty()) {
        m_clearedBlocks.resize(m_clearedBlocks.size()
                               - std::min(m_clearedBlocks.size(), BlocksAtOnce));
    } else if (!m_clearedStarts.empty()) {
        m_clearedStarts.pop_back();
    } else if (!m_clearedTimes.empty()) {
        m_clearedTimes.pop_back();
    } else {
        if (m_trimDue)
            GiveBackFreedMemory(); // what was smaller than a block stays in the heap till then
        m_trimDue = false;
        return false;
    }
    return true;
}

void ConsoleStore::AppendCopies(qsizetype times)
{
    Q_ASSERT(m_size % BlockChars == 0 && LineLength(LineCount() - 1) == 0 && m_openBytes.isEmpty());
    const qsizetype size = m_size;
    const qsizetype lines = LineCount() - 1; // the empty line after the last line feed aside
    const qsizetype hexSize = m_hexStarts.last();
    const qsizetype blocks = qsizetype(m_blocks.size());
    const qsizetype runs = m_runs.size();
    const qsizetype bases = m_timeBases.size();
    const qsizetype odd = m_oddLines.size();
    const qsizetype oddSize = m_oddBytes.size();
    const qsizetype oddRuns = m_oddRuns.size();
    m_lineStarts.reserve(lines * (times + 1) + 1);
    m_lineTimes.reserve(lines * (times + 1) + 1);
    m_hexStarts.reserve(lines * (times + 1) + 1);
    m_lineTimes.removeLast();
    const auto copyRuns = [](QList<Run> &list, qsizetype count, qsizetype shift) {
        for (qsizetype run = 0; run < count; ++run) {
            if (list.last().second != list.at(run).second)
                list.append({ list.at(run).first + shift, list.at(run).second });
        }
    };
    for (qsizetype copy = 1; copy <= times; ++copy) {
        const qsizetype lineShift = copy * lines;
        for (qsizetype block = 0; block < blocks; ++block)
            m_blocks.push_back(m_blocks[size_t(block)]);
        for (qsizetype line = 1; line <= lines; ++line) {
            m_lineStarts.append(m_lineStarts.at(line) + copy * size);
            m_hexStarts.append(m_hexStarts.at(line) + copy * hexSize);
        }
        for (qsizetype line = 0; line < lines; ++line)
            m_lineTimes.append(m_lineTimes.at(line));
        for (qsizetype base = 0; base < bases; ++base)
            m_timeBases.append(
                { m_timeBases.at(base).first + lineShift, m_timeBases.at(base).second });
        copyRuns(m_runs, runs, copy * size);
        copyRuns(m_oddRuns, oddRuns, copy * oddSize);
        for (qsizetype i = 0; i < odd; ++i) {
            const OddLine &line = m_oddLines.at(i);
            const qsizetype shift = line.start < 0 ? 0 : copy * oddSize;
            m_oddLines.append({ line.line + lineShift, line.start + shift, line.end + shift });
        }
    }
    m_lineTimes.append(0);
    m_oddBytes = m_oddBytes.repeated(times + 1);
    m_size = size * (times + 1);
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
            m_runs.append({ m_size, colour });
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
        // Only the last line grows, so only the last long line can change.
        for (qsizetype line = firstChanged; line < LineCount(); ++line)
            m_longLines.Set(line, ExtraSegments(LineLength(line)));
    }
    AppendBytes(bytes, colour, firstChanged);
}

void ConsoleStore::AppendBytes(QByteArrayView bytes, QRgb colour, qsizetype firstLine)
{
    qsizetype at = 0;
    for (qsizetype line = firstLine; line + 1 < LineCount(); ++line) {
        const qsizetype lineFeed = bytes.indexOf('\n', at);
        const qsizetype end = lineFeed < 0 ? bytes.size() : lineFeed + 1;
        if (m_openBytes.isEmpty()) { // a line whole in this append: its bytes stay where they are
            CloseLine(line, bytes.sliced(at, end - at), nullptr, colour);
        } else {
            TakeBytes(bytes.sliced(at, end - at), colour);
            CloseLine(line, m_openBytes, &m_openRuns, colour);
            // Its room stays for the next line, unless a long line left it large.
            if (m_openBytes.capacity() > OpenBytesKept)
                m_openBytes = QByteArray();
            else
                m_openBytes.resize(0);
            m_openRuns.clear();
        }
        at = end;
    }
    TakeBytes(bytes.sliced(at), colour);
    m_hexLongLines.Set(LineCount() - 1, HexExtraSegments(m_openBytes.size()));
}

void ConsoleStore::TakeBytes(QByteArrayView bytes, QRgb colour)
{
    if (bytes.isEmpty())
        return;
    if (m_openRuns.isEmpty() || m_openRuns.last().second != colour)
        m_openRuns.append({ m_openBytes.size(), colour });
    m_openBytes += bytes;
}

void ConsoleStore::CloseLine(qsizetype line,
                             QByteArrayView bytes,
                             const QList<Run> *runs,
                             QRgb colour)
{
    const qsizetype start = LineStart(line);
    const qsizetype end = start + LineLength(line);
    const qsizetype count = bytes.size();
    const bool lineFeed = count > 0 && bytes[count - 1] == '\n';
    if (lineFeed && count > 1 && bytes[count - 2] == '\r'
        && IsUtf8Of(start, end, bytes.chopped(2))) {
        // The rule's bytes: nothing to keep.
    } else if (lineFeed && IsUtf8Of(start, end, bytes.chopped(1))) {
        m_oddLines.append({ line, -1, -1 });
    } else {
        const qsizetype kept = m_oddBytes.size();
        m_oddLines.append({ line, kept, kept + count });
        const auto keep = [&](const Run &run) {
            if (m_oddRuns.isEmpty() || m_oddRuns.last().second != run.second)
                m_oddRuns.append({ kept + run.first, run.second });
        };
        if (runs) {
            for (const Run &run : *runs)
                keep(run);
        } else if (count > 0) {
            keep({ 0, colour });
        }
        m_oddBytes += bytes;
    }
    m_hexStarts.append(m_hexStarts.last() + (count > 0 ? 3 * count : 1));
    m_hexLongLines.Set(line, HexExtraSegments(count));
}

bool ConsoleStore::IsUtf8Of(qsizetype from, qsizetype to, QByteArrayView bytes) const
{
    if (bytes.size() < to - from)
        return false; // a byte at least for each character
    qsizetype k = 0;
    for (qsizetype pos = from; pos < to;) {
        const Block &block = *m_blocks[size_t(pos / BlockChars)];
        if (!block.narrow) // as LineBytes gives it
            return Text(from, to).toUtf8() == bytes;
        const qsizetype offset = pos % BlockChars;
        const qsizetype take = std::min(to - pos, BlockChars - offset);
        const QByteArrayView piece(block.narrow.get() + offset, take);
        if (IsAscii(piece) && bytes.sliced(k).startsWith(piece)) { // the usual case, at once
            k += take;
            pos += take;
            continue;
        }
        for (const quint8 c : piece) {
            if (c < 0x80) {
                if (k >= bytes.size() || quint8(bytes[k++]) != c)
                    return false;
            } else {
                if (k + 1 >= bytes.size() || quint8(bytes[k]) != (0xC0 | c >> 6)
                    || quint8(bytes[k + 1]) != (0x80 | (c & 0x3F)))
                    return false;
                k += 2;
            }
        }
        pos += take;
    }
    return k == bytes.size();
}

const ConsoleStore::OddLine *ConsoleStore::Odd(qsizetype line) const
{
    const auto at = std::lower_bound(m_oddLines.cbegin(), m_oddLines.cend(), line,
                                     [](const OddLine &odd, qsizetype n) { return odd.line < n; });
    return at != m_oddLines.cend() && at->line == line ? &*at : nullptr;
}

QByteArray ConsoleStore::LineBytes(qsizetype line, qsizetype from, qsizetype to) const
{
    QByteArray bytes;
    AppendLineBytes(line, bytes, from, to);
    return bytes;
}

void ConsoleStore::AppendLineBytes(qsizetype line,
                                   QByteArray &bytes,
                                   qsizetype from,
                                   qsizetype to) const
{
    const qsizetype count = LineByteCount(line);
    to = std::clamp<qsizetype>(to, 0, count);
    from = std::clamp<qsizetype>(from, 0, to);
    if (line + 1 == LineCount()) {
        bytes += QByteArrayView(m_openBytes).sliced(from, to - from);
        return;
    }
    const OddLine *odd = Odd(line);
    if (odd && odd->start >= 0) {
        bytes += QByteArrayView(m_oddBytes).sliced(odd->start + from, to - from);
        return;
    }
    // A character takes one byte at least: the bytes before `to` come from as many
    // characters at most, a pair whole.
    const qsizetype start = LineStart(line);
    const qsizetype lineEnd = start + LineLength(line);
    qsizetype end = to < lineEnd - start ? start + to : lineEnd;
    if (InsidePair(end))
        ++end;
    // The characters whose bytes lie wholly before `from` are only counted: a later segment
    // of a long line costs no more than the first.
    qsizetype first = start;
    qsizetype skipped = 0;
    while (first < end) {
        const QChar c = At(first);
        qsizetype units = 1;
        qsizetype size = c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
        if (c.isSurrogate()) {
            if (!c.isHighSurrogate() || first + 1 == end || !At(first + 1).isLowSurrogate())
                break; // a lone half: written below, as Qt writes it
            units = 2;
            size = 4;
        }
        if (skipped + size > from)
            break;
        skipped += size;
        first += units;
    }
    const qsizetype before = bytes.size();
    bytes.resize(before + 2 * (end - first)); // room for Latin-1 text, at two bytes each
    char *out = bytes.data() + before;
    for (qsizetype pos = first; pos < end;) {
        const Block &block = *m_blocks[size_t(pos / BlockChars)];
        if (!block.narrow) { // as Qt writes UTF-8, pairs whole
            bytes.resize(before);
            bytes += Text(first, end).toUtf8();
            out = nullptr;
            break;
        }
        const qsizetype offset = pos % BlockChars;
        const qsizetype take = std::min(end - pos, BlockChars - offset);
        for (const quint8 c : QByteArrayView(block.narrow.get() + offset, take)) {
            if (c < 0x80) {
                *out++ = char(c);
            } else {
                *out++ = char(0xC0 | c >> 6);
                *out++ = char(0x80 | (c & 0x3F));
            }
        }
        pos += take;
    }
    if (out)
        bytes.truncate(out - bytes.data());
    if (end == lineEnd)
        bytes += odd ? QByteArrayView("\n") : QByteArrayView("\r\n");
    bytes.truncate(before + to - skipped);
    bytes.remove(before, from - skipped); // what is left of a character that `from` cuts
}

qsizetype ConsoleStore::LineByteCount(qsizetype line) const
{
    if (line + 1 == LineCount())
        return m_openBytes.size();
    const qsizetype step = m_hexStarts.at(line + 1) - m_hexStarts.at(line);
    return step / 3; // 1 for none
}

QList<ConsoleLines::Run>
ConsoleStore::LineByteRuns(qsizetype line, qsizetype from, qsizetype to) const
{
    QList<Run> runs;
    // Takes the runs in order, by where they start in the bytes: the last that starts at or
    // before `from`, and those that start before `to`; says whether to go on.
    const auto take = [&](qsizetype at, QRgb colour) {
        if (at >= to && !runs.isEmpty())
            return false;
        if (at <= from)
            runs.clear();
        runs.append({ at, colour });
        return true;
    };
    const auto kept = [&](const QList<Run> &list, qsizetype first, qsizetype last) {
        // The runs of list's bytes [first, last), the line's.
        auto it = std::upper_bound(list.cbegin(), list.cend(), first + from,
                                   [](qsizetype pos, const Run &run) { return pos < run.first; });
        if (it != list.cbegin())
            --it;
        for (; it != list.cend() && it->first < last; ++it) {
            if (!take(std::max<qsizetype>(0, it->first - first), it->second))
                break;
        }
    };
    if (line + 1 == LineCount()) {
        kept(m_openRuns, 0, m_openBytes.size());
        return runs;
    }
    const OddLine *odd = Odd(line);
    if (odd && odd->start >= 0) {
        if (odd->end > odd->start) // a line without bytes has no colour of them
            kept(m_oddRuns, odd->start, odd->end);
        return runs;
    }
    // Each character's bytes in its colour; the CR before the line feed in the feed's.
    // Only the text before the last run that starts before `to` is read.
    const qsizetype start = LineStart(line);
    const qsizetype end = start + LineLength(line);
    qsizetype pos = start;
    qsizetype byte = 0;
    for (const Run &run : Runs(start, end + 1)) {
        const qsizetype at = std::max(run.first, start);
        if (!runs.isEmpty() && byte + (at - pos) >= to)
            break; // at `to` or after it: a character takes a byte at least
        byte += Utf8Size(pos, at);
        pos = at;
        if (!take(byte, run.second))
            break;
    }
    return runs;
}

qsizetype ConsoleStore::Utf8Size(qsizetype from, qsizetype to) const
{
    qsizetype size = 0;
    for (qsizetype pos = from; pos < to;) {
        const Block &block = *m_blocks[size_t(pos / BlockChars)];
        if (!block.narrow) // as Qt writes UTF-8, pairs whole
            return size + Text(pos, to).toUtf8().size();
        const qsizetype offset = pos % BlockChars;
        const qsizetype take = std::min(to - pos, BlockChars - offset);
        size += take;
        for (const quint8 c : QByteArrayView(block.narrow.get() + offset, take))
            size += c >> 7;
        pos += take;
    }
    return size;
}

qsizetype ConsoleStore::HexLineOf(qsizetype pos) const
{
    const auto after = std::upper_bound(m_hexStarts.cbegin(), m_hexStarts.cend(), pos);
    return std::max<qsizetype>(0, after - m_hexStarts.cbegin() - 1);
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
