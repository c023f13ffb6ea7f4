// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRgb>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

// Everything the console holds, compact enough to keep a day of traffic: the text in
// blocks of one byte per character while it is Latin-1 (two bytes once a block holds
// anything else), the start of every line, and the colour runs. An append costs the
// length of its text; every lookup is O(1) or O(log n).
//
// A line ends at a line feed, which is part of the text. For display, a line longer than
// SegmentLimit characters is cut into segments of SegmentLimit, one less where the cut
// would part the two halves of a character outside the Basic Multilingual Plane; the text
// is not changed. Positions count UTF-16 units, as QString does, in 64 bits: a day of
// traffic at the fastest line rate passes 2^31.
//
// Each line keeps the time its first character arrived (milliseconds since the epoch).
class ConsoleStore
{
public:
    static constexpr qsizetype SegmentLimit = 500;
    static constexpr qsizetype BlockChars = 1 << 16; // characters a block of the text holds
    using Run = std::pair<qsizetype, QRgb>; // where a colour starts, and the colour

    ConsoleStore();
    ~ConsoleStore();

    // `time`: when the text arrived or was sent.
    void Append(QStringView text, QRgb colour, qint64 time = 0);
    // Appends `times` copies of the whole text so far, with its colours and times, in a
    // moment whatever their length: the copies share its blocks. Builds a long session for
    // tests and benchmarks; the text must fill whole blocks and end with a line feed.
    void AppendCopies(qsizetype times);
    // Gives the memory back to the system.
    void Clear();

    qsizetype Size() const { return m_size; }
    qsizetype LineCount() const { return m_lineStarts.size(); }
    qsizetype LineOf(qsizetype pos) const;
    qsizetype LineStart(qsizetype line) const { return m_lineStarts.at(line); }
    // Length of the line without its line feed.
    qsizetype LineLength(qsizetype line) const;
    // When the line's first character arrived; 0 while the line is still empty.
    qint64 LineTime(qsizetype line) const;
    QString Text(qsizetype from, qsizetype to) const;
    QChar At(qsizetype pos) const;
    // Whether `pos` lies between the two halves of a surrogate pair.
    bool InsidePair(qsizetype pos) const;

    // The colour runs that cover [from, to), the first one starting at or before `from`.
    QList<Run> Runs(qsizetype from, qsizetype to) const;
    // The run that holds `pos`, and where it ends.
    std::pair<Run, qsizetype> RunAt(qsizetype pos) const;

    // Display segments: every line has at least one.
    qsizetype SegmentCount() const { return LineCount() + m_extraSegments; }
    qsizetype FirstSegment(qsizetype line) const;
    // The line a segment belongs to, and its index within the line.
    std::pair<qsizetype, qsizetype> SegmentLine(qsizetype segment) const;
    // The text range [first, second) of a segment, its line feed left out.
    std::pair<qsizetype, qsizetype> SegmentRange(qsizetype segment) const;
    qsizetype SegmentOf(qsizetype pos) const;

private:
    struct Block;
    // A line longer than one segment, and the segments added by longer lines before it.
    struct LongLine
    {
        qsizetype line;
        qsizetype extraBefore;
        qsizetype extra;
    };

    static qsizetype ExtraSegments(qsizetype length)
    {
        return length > SegmentLimit ? (length - 1) / SegmentLimit : 0;
    }
    qsizetype SegmentStart(qsizetype lineStart, qsizetype index) const;
    void AppendText(QStringView text);
    // A line's time as it is kept: milliseconds after the base in force from that line on,
    // plus one (0: no character yet). Where a time does not fit (49 days on, or the clock
    // set back), a new base starts.
    quint32 Stamp(qint64 time);

    std::vector<std::shared_ptr<Block>> m_blocks; // shared only by AppendCopies
    qsizetype m_size = 0;
    QList<qsizetype> m_lineStarts;
    QList<quint32> m_lineTimes; // four bytes a line, not eight: see Stamp
    QList<std::pair<qsizetype, qint64>> m_timeBases; // the first line of each, and the base
    QList<Run> m_runs;
    QList<LongLine> m_longLines;
    qsizetype m_extraSegments = 0;
};
