// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "consoleblocks.h"
#include "consolebytes.h"
#include "consolelines.h"

#include <QByteArray>
#include <QList>
#include <QRgb>
#include <QString>

#include <limits>
#include <memory>
#include <utility>
#include <vector>

// Gives what was freed back to the system: glibc keeps freed memory below its mmap threshold
// in its heap until it is trimmed.
void GiveBackFreedMemory();

// Everything the console holds, compact enough to keep a day of traffic: the text and the
// index of its lines in blocks (consoleblocks.h), packed once they have scrolled far out of
// view (consolecold.h); the colour runs; and the bytes of every line as they went out or
// came in, kept only where they do not follow from the text (consolebytes.h). A day of
// short lines costs about 4 bytes a line. An append costs the length of its text and
// bytes; every lookup is O(1) or O(log n), and the unpacking of a packed block that was
// not read of late. This is the text form of the lines; HexLines shows their bytes.
//
// For display, a line longer than SegmentLimit characters is cut into segments of
// SegmentLimit, one less where the cut would part the two halves of a character outside the
// Basic Multilingual Plane; the text is not changed. A day of traffic at the fastest line
// rate passes 2^31 positions.
//
// Each line keeps the time its first character arrived (milliseconds since the epoch).
//
// A line's bytes are not kept beside its text where they follow from it: its text in UTF-8
// with CR LF for its line feed, as commands go out and most modules answer. A line whose
// bytes differ keeps aside that they end in a bare LF, or else the bytes themselves (a lone
// CR, a byte that is not UTF-8, a character split across a command). The bytes of the last
// line are kept until it ends. Of the bytes of an append, each line that its text ends takes
// those up to and including the next 0A byte, and the last line the rest: received text
// comes without its CRs, and received bytes may run ahead of their text by part of a
// character.
class ConsoleStore : public ConsoleLines
{
public:
    // Characters a block of the text holds.
    static constexpr qsizetype BlockChars = TextBlocks::Chars;
    static constexpr qsizetype HexSegmentBytes = 166; // bytes of a hex segment: 498 characters
    static constexpr qsizetype AllBytes = std::numeric_limits<qsizetype>::max();

    ConsoleStore();
    ~ConsoleStore() override;

    // `time`: when the text arrived or was sent; `bytes`: what went out or came in for it.
    void Append(QStringView text, QRgb colour, qint64 time, QByteArrayView bytes);
    // As above, with the bytes that the text stands for by the rule above.
    void Append(QStringView text, QRgb colour, qint64 time = 0);
    // Appends `times` copies of the whole text so far, with its colours, times and bytes, in
    // a moment whatever their length: the copies share its blocks. Builds a long session for
    // tests and benchmarks; the text must fill whole blocks and end with a line feed.
    void AppendCopies(qsizetype times);
    // Empties the store at once. What it held goes back to the system with the calls of
    // ReleaseCleared() that follow, a few milliseconds' worth each (a day of traffic is
    // gigabytes: unmapped at once, they would hold the window up for half a second), after
    // what earlier clears left.
    void Clear();
    // Says whether there is more to give back.
    bool ReleaseCleared();
    // Packs the blocks that have scrolled far out of view, on the packer's thread, and puts
    // them in place; says whether to call again (see TextBlocks::PackCold()).
    bool PackCold() { return m_text.PackCold(); }
    // Packs every full block but the newest `keptPlain` at once.
    void PackNow(qsizetype keptPlain = TextBlocks::KeptPlain) { m_text.PackNow(keptPlain); }
    qsizetype PackedBlocks() const { return m_text.PackedBlocks(); }

    qsizetype Size() const override { return m_text.Size(); }
    qsizetype LineCount() const override { return m_text.LineCount(); }
    qsizetype LineOf(qsizetype pos) const override { return m_text.LineOf(pos); }
    qsizetype LineStart(qsizetype line) const override { return m_text.LineStart(line); }
    qsizetype LineLength(qsizetype line) const override
    {
        return m_text.LineEnd(line) - m_text.LineStart(line);
    }
    qint64 LineTime(qsizetype line) const override;
    QString Text(qsizetype from, qsizetype to) const override { return m_text.Text(from, to); }
    QChar At(qsizetype pos) const override { return m_text.At(pos); }
    bool InsidePair(qsizetype pos) const override;
    QList<Run> Runs(qsizetype from, qsizetype to) const override;
    std::pair<Run, qsizetype> RunAt(qsizetype pos) const override;
    qsizetype SegmentCount() const override { return LineCount() + m_longLines.Extra(); }
    qsizetype FirstSegment(qsizetype line) const { return m_longLines.FirstSegment(line); }
    std::pair<qsizetype, qsizetype> SegmentLine(qsizetype segment) const override
    {
        return m_longLines.SegmentLine(segment);
    }
    std::pair<qsizetype, qsizetype> SegmentRange(qsizetype segment) const override;
    qsizetype SegmentOf(qsizetype pos) const override;

    // The bytes of a line exactly, or those of them in [from, to), and their colour runs
    // (offsets in those bytes; the first run starts at or before `from`). A piece of a long
    // line costs its own length where the bytes are kept, and the text up to `to` where they
    // follow from it.
    QByteArray LineBytes(qsizetype line, qsizetype from = 0, qsizetype to = AllBytes) const;
    // Appends them to `bytes`, with no allocation of its own for a line of Latin-1 text.
    void AppendLineBytes(qsizetype line,
                         QByteArray &bytes,
                         qsizetype from = 0,
                         qsizetype to = AllBytes) const;
    QList<Run> LineByteRuns(qsizetype line, qsizetype from = 0, qsizetype to = AllBytes) const;
    qsizetype LineByteCount(qsizetype line) const;
    // Where a line starts in the hex form: each byte of the lines before it takes three
    // characters ("41 ", the space after a line's last byte being its line feed), a line
    // without bytes one.
    qsizetype HexLineStart(qsizetype line) const { return m_text.HexStart(line); }
    qsizetype HexLineOf(qsizetype pos) const { return m_text.HexLineOf(pos); }
    // The lines whose bytes take more than one hex segment.
    const LongLines &HexLongLines() const { return m_hexLongLines; }

private:
    static qsizetype ExtraSegments(qsizetype length)
    {
        return length > SegmentLimit ? (length - 1) / SegmentLimit : 0;
    }
    static qsizetype HexExtraSegments(qsizetype bytes)
    {
        return bytes > HexSegmentBytes ? (bytes - 1) / HexSegmentBytes : 0;
    }
    qsizetype SegmentStart(qsizetype lineStart, qsizetype index) const;
    // Hands the bytes of an append to the lines from `firstLine` on (see above).
    void AppendBytes(QByteArrayView bytes, QRgb colour, qsizetype firstLine);
    // The last line has ended with `bytes`, in the colours `runs` give (all in `colour`
    // without them): they are kept as little as they can be.
    void CloseLine(qsizetype line, QByteArrayView bytes, const QList<Run> *runs, QRgb colour);
    // Whether `bytes` are the UTF-8 of the text [from, to).
    bool IsUtf8Of(qsizetype from, qsizetype to, QByteArrayView bytes) const;
    // How many bytes the UTF-8 of the text [from, to) takes.
    qsizetype Utf8Size(qsizetype from, qsizetype to) const;
    // A line's time as it is kept: milliseconds after the base in force from that line on,
    // plus one (0: no character yet). Where a time does not fit (49 days on, or the clock
    // set back), a new base starts.
    quint32 Stamp(qint64 time);

    TextBlocks m_text;
    KeptBytes m_bytes;
    QList<std::pair<qsizetype, qint64>> m_timeBases; // the first line of each, and the base
    QList<Run> m_runs;
    LongLines m_longLines;
    LongLines m_hexLongLines;
    bool m_trimDue = false;
};
