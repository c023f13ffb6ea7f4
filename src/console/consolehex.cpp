// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolehex.h"

#include "consolestore.h"

#include <algorithm>

namespace {

qsizetype HexLength(qsizetype bytes)
{
    return bytes > 0 ? 3 * bytes - 1 : 0;
}

} // namespace

namespace {

// Writes the first `count` of the bytes in hex at `out`, with a space after each but the
// last of them all.
void WriteHex(QByteArrayView bytes, qsizetype count, QChar *out)
{
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    for (qsizetype i = 0; i < count; ++i) {
        const auto byte = quint8(bytes[i]);
        out[3 * i] = QChar(Digits[byte >> 4]);
        out[3 * i + 1] = QChar(Digits[byte & 0xF]);
        if (i + 1 < bytes.size())
            out[3 * i + 2] = QLatin1Char(' ');
    }
}

} // namespace

QString HexLines::Hex(QByteArrayView bytes)
{
    QString hex(HexLength(bytes.size()), Qt::Uninitialized);
    WriteHex(bytes, bytes.size(), hex.data());
    return hex;
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
    // Written in place: the lines' bytes gathered in one buffer, their hex straight into
    // the text, which is trimmed to [from, to) at the end.
    const qsizetype first = LineOf(from);
    const qsizetype skip = from - LineStart(first);
    const qsizetype wanted = to - from + skip;
    QString text(wanted + 3, Qt::Uninitialized); // room for the last byte's three
    QByteArray bytes;
    qsizetype written = 0;
    for (qsizetype line = first; written < wanted; ++line) {
        bytes.resize(0);
        m_store.AppendLineBytes(line, bytes);
        const qsizetype count = std::min(bytes.size(), (wanted - written + 2) / 3);
        WriteHex(bytes, count, text.data() + written);
        written += HexLength(count) + (count < bytes.size() ? 1 : 0);
        if (count == bytes.size() && written < wanted)
            text[written++] = QLatin1Char('\n');
    }
    return text.sliced(skip, to - from);
}

QChar HexLines::At(qsizetype pos) const
{
    const qsizetype line = LineOf(pos);
    const qsizetype offset = pos - LineStart(line);
    if (offset >= LineLength(line))
        return QLatin1Char('\n');
    if (offset % 3 == 2)
        return QLatin1Char(' ');
    const QByteArray bytes = m_store.LineBytes(line);
    return Hex(QByteArrayView(bytes).sliced(offset / 3, 1)).at(offset % 3);
}

QList<ConsoleLines::Run> HexLines::Runs(qsizetype from, qsizetype to) const
{
    QList<Run> runs;
    for (qsizetype line = LineOf(from);
         line < LineCount() && (LineStart(line) < to || runs.isEmpty()); ++line) {
        const qsizetype start = LineStart(line);
        for (const Run &run : m_store.LineByteRuns(line)) {
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
