// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolehex.h"

#include "consolestore.h"

#include <algorithm>

namespace {

qsizetype HexLength(qsizetype bytes)
{
    return bytes > 0 ? 3 * bytes - 1 : 0;
}

// Writes the bytes in hex at `out`, with a space after each but the last of its line.
void WriteHex(QByteArrayView bytes, bool lineEnds, QChar *out)
{
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = quint8(bytes[i]);
        out[3 * i] = QChar(Digits[byte >> 4]);
        out[3 * i + 1] = QChar(Digits[byte & 0xF]);
        if (i + 1 < bytes.size() || !lineEnds)
            out[3 * i + 2] = QLatin1Char(' ');
    }
}

} // namespace

QString HexLines::Hex(QByteArrayView bytes)
{
    QString hex(HexLength(bytes.size()), Qt::Uninitialized);
    WriteHex(bytes, true, hex.data());
    return hex;
}

QString HexLines::Characters(QByteArrayView bytes)
{
    QString characters(bytes.size(), QLatin1Char('.'));
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7F)
            characters[i] = QLatin1Char(bytes[i]);
    }
    return characters;
}

qsizetype HexLines::Size() const
{
    const qsizetype last = LineCount() - 1;
    return LineStart(last) + LineLength(last);
}

qsizetype HexLines::LineCount() const
{
    return m_store.LineCount();
}

qsizetype HexLines::LineOf(qsizetype pos) const
{
    return m_store.HexLineOf(pos);
}

qsizetype HexLines::LineStart(qsizetype line) const
{
    return m_store.HexLineStart(line);
}

qsizetype HexLines::LineLength(qsizetype line) const
{
    return HexLength(m_store.LineByteCount(line));
}

qint64 HexLines::LineTime(qsizetype line) const
{
    return m_store.LineTime(line);
}

QString HexLines::Text(qsizetype from, qsizetype to) const
{
    from = std::clamp<qsizetype>(from, 0, Size());
    to = std::clamp<qsizetype>(to, from, Size());
    // Written in place from the byte that `from` falls in, only the bytes of [from, to)
    // taken from each line; the text is trimmed to [from, to) at the end.
    const qsizetype first = LineOf(from);
    const qsizetype offset = from - LineStart(first);
    const qsizetype skip = offset % 3;
    const qsizetype wanted = to - from + skip;
    QString text(wanted + 3, Qt::Uninitialized); // room for the last byte's three
    QByteArray bytes;
    qsizetype written = 0;
    for (qsizetype line = first, byte = offset / 3; written < wanted; ++line, byte = 0) {
        const qsizetype count = m_store.LineByteCount(line);
        const qsizetype end = std::min(count, byte + (wanted - written + 2) / 3);
        bytes.resize(0);
        m_store.AppendLineBytes(line, bytes, byte, end);
        WriteHex(bytes, end == count, text.data() + written);
        written += 3 * bytes.size() - (end == count && !bytes.isEmpty() ? 1 : 0);
        if (end == count && written < wanted)
            text[written++] = QLatin1Char('\n');
    }
    text.remove(0, skip);
    text.truncate(to - from);
    return text;
}

QChar HexLines::At(qsizetype pos) const
{
    const qsizetype line = LineOf(pos);
    const qsizetype offset = pos - LineStart(line);
    if (offset >= LineLength(line))
        return QLatin1Char('\n');
    if (offset % 3 == 2)
        return QLatin1Char(' ');
    return Hex(m_store.LineBytes(line, offset / 3, offset / 3 + 1)).at(offset % 3);
}

QList<ConsoleLines::Run> HexLines::Runs(qsizetype from, qsizetype to) const
{
    QList<Run> runs;
    for (qsizetype line = LineOf(from);
         line < LineCount() && (LineStart(line) < to || runs.isEmpty()); ++line) {
        // Only the runs of the bytes in [from, to).
        const qsizetype start = LineStart(line);
        const qsizetype firstByte = std::max<qsizetype>(0, from - start) / 3;
        const qsizetype endByte = std::max<qsizetype>(0, to - start + 2) / 3;
        for (const Run &run : m_store.LineByteRuns(line, firstByte, endByte)) {
            const qsizetype at = start + 3 * run.first;
            if (at >= to && !runs.isEmpty())
                return runs;
            if (!runs.isEmpty() && runs.last().second == run.second)
                continue;
            if (at <= from)
                runs.clear(); // only the last run that starts at or before `from`
            runs.append({ at, run.second });
        }
    }
    return runs;
}

std::pair<ConsoleLines::Run, qsizetype> HexLines::RunAt(qsizetype pos) const
{
    // Within the line: the run may go on, but never past what this line's bytes tell.
    const qsizetype line = LineOf(pos);
    const qsizetype lineEnd = LineStart(line) + LineLength(line) + 1;
    const QList<Run> runs = Runs(pos, lineEnd);
    if (runs.isEmpty())
        return { { 0, qRgb(0, 0, 0) }, 0 };
    const auto after = std::upper_bound(runs.cbegin(), runs.cend(), pos,
                                        [](qsizetype p, const Run &run) { return p < run.first; });
    const Run run = after == runs.cbegin() ? runs.first() : *(after - 1);
    return { run, std::min(Size(), after == runs.cend() ? lineEnd : after->first) };
}

qsizetype HexLines::SegmentCount() const
{
    return LineCount() + m_store.HexLongLines().Extra();
}

qsizetype HexLines::FirstSegment(qsizetype line) const
{
    return m_store.HexLongLines().FirstSegment(line);
}

std::pair<qsizetype, qsizetype> HexLines::SegmentLine(qsizetype segment) const
{
    return m_store.HexLongLines().SegmentLine(segment);
}

std::pair<qsizetype, qsizetype> HexLines::SegmentRange(qsizetype segment) const
{
    const auto [line, index] = SegmentLine(segment);
    const qsizetype start = LineStart(line) + index * SegmentChars;
    const bool last = index == m_store.HexLongLines().ExtraOf(line);
    return { start, last ? LineStart(line) + LineLength(line) : start + SegmentChars };
}

qsizetype HexLines::SegmentOf(qsizetype pos) const
{
    pos = std::clamp<qsizetype>(pos, 0, Size());
    const qsizetype line = LineOf(pos);
    const qsizetype index
        = std::min((pos - LineStart(line)) / SegmentChars, m_store.HexLongLines().ExtraOf(line));
    return FirstSegment(line) + index;
}
