// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes of the store's lines: kept where they must be, and else made from the text as
// they are asked for (see consolestore.h).
#include "consolestore.h"

#include <algorithm>

namespace {

bool IsAscii(QByteArrayView text)
{
    quint8 seen = 0;
    for (const char c : text)
        seen |= quint8(c);
    return seen < 0x80;
}

} // namespace

void ConsoleStore::AppendBytes(QByteArrayView bytes, QRgb colour, qsizetype firstLine)
{
    qsizetype at = 0;
    for (qsizetype line = firstLine; line + 1 < LineCount(); ++line) {
        const qsizetype lineFeed = bytes.indexOf('\n', at);
        const qsizetype end = lineFeed < 0 ? bytes.size() : lineFeed + 1;
        if (m_bytes.Open()
                .isEmpty()) { // a line whole in this append: its bytes stay where they are
            CloseLine(line, bytes.sliced(at, end - at), nullptr, colour);
        } else {
            m_bytes.TakeOpen(bytes.sliced(at, end - at), colour);
            CloseLine(line, m_bytes.Open(), &m_bytes.OpenRuns(), colour);
            m_bytes.ResetOpen();
        }
        at = end;
    }
    m_bytes.TakeOpen(bytes.sliced(at), colour);
    m_hexLongLines.Set(LineCount() - 1, HexExtraSegments(m_bytes.Open().size()));
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
        m_bytes.KeepBareLineFeed(line);
    } else {
        m_bytes.Keep(line, bytes, runs, colour);
    }
    m_text.CloseLine(count > 0 ? 3 * count : 1);
    m_hexLongLines.Set(line, HexExtraSegments(count));
}

bool ConsoleStore::IsUtf8Of(qsizetype from, qsizetype to, QByteArrayView bytes) const
{
    if (bytes.size() < to - from)
        return false; // a byte at least for each character
    qsizetype k = 0;
    for (qsizetype pos = from; pos < to;) {
        const TextBlocks::Piece chars = m_text.PieceAt(pos, to);
        if (!chars.narrow) // as LineBytes gives it
            return Text(from, to).toUtf8() == bytes;
        const qsizetype take = chars.size;
        const QByteArrayView piece(chars.narrow, take);
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
        bytes += m_bytes.Open().sliced(from, to - from);
        return;
    }
    if (const KeptBytes::Kept *kept = m_bytes.KeptOf(line)) {
        bytes += m_bytes.Bytes().sliced(kept->start + from, to - from);
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
        const TextBlocks::Piece chars = m_text.PieceAt(pos, end);
        if (!chars.narrow) { // as Qt writes UTF-8, pairs whole
            bytes.resize(before);
            bytes += Text(first, end).toUtf8();
            out = nullptr;
            break;
        }
        const qsizetype take = chars.size;
        for (const quint8 c : QByteArrayView(chars.narrow, take)) {
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
        bytes += m_bytes.BareLineFeed(line) ? QByteArrayView("\n") : QByteArrayView("\r\n");
    bytes.truncate(before + to - skipped);
    bytes.remove(before, from - skipped); // what is left of a character that `from` cuts
}

qsizetype ConsoleStore::LineByteCount(qsizetype line) const
{
    if (line + 1 == LineCount())
        return m_bytes.Open().size();
    const qsizetype step = HexLineStart(line + 1) - HexLineStart(line);
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
        kept(m_bytes.OpenRuns(), 0, m_bytes.Open().size());
        return runs;
    }
    if (const KeptBytes::Kept *odd = m_bytes.KeptOf(line)) {
        if (odd->end > odd->start) // a line without bytes has no colour of them
            kept(m_bytes.Runs(), odd->start, odd->end);
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
        const TextBlocks::Piece chars = m_text.PieceAt(pos, to);
        if (!chars.narrow) // as Qt writes UTF-8, pairs whole
            return size + Text(pos, to).toUtf8().size();
        const qsizetype take = chars.size;
        size += take;
        for (const quint8 c : QByteArrayView(chars.narrow, take))
            size += c >> 7;
        pos += take;
    }
    return size;
}
