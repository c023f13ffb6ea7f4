// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRgb>
#include <QString>

#include <utility>

// What one step of a pass over the text takes at most (a search, a save, the running log,
// what a screen reader is told at once): a few milliseconds' work, 2 MiB of text.
inline constexpr qsizetype TextPiece = qsizetype(1) << 20;

// The console's text in the form it is shown in (the text itself, or its bytes in hex):
// what the view lays out, copies, saves and reads to screen readers. Positions count
// UTF-16 units in 64 bits.
//
// A line ends at a line feed, which is part of the text. For display, a line longer than a
// segment is cut into segments: every line has at least one.
class ConsoleLines
{
public:
    static constexpr qsizetype SegmentLimit = 500; // characters at most in a segment, about
    using Run = std::pair<qsizetype, QRgb>; // where a colour starts, and the colour

    virtual ~ConsoleLines() = default;

    virtual qsizetype Size() const = 0;
    virtual qsizetype LineCount() const = 0;
    virtual qsizetype LineOf(qsizetype pos) const = 0;
    virtual qsizetype LineStart(qsizetype line) const = 0;
    // Length of the line without its line feed.
    virtual qsizetype LineLength(qsizetype line) const = 0;
    // When the line's first character arrived; 0 while the line is still empty.
    virtual qint64 LineTime(qsizetype line) const = 0;
    virtual QString Text(qsizetype from, qsizetype to) const = 0;
    virtual QChar At(qsizetype pos) const = 0;
    // Whether `pos` lies between the two halves of a surrogate pair.
    virtual bool InsidePair(qsizetype pos) const = 0;

    // The colour runs that cover [from, to), the first one starting at or before `from`.
    virtual QList<Run> Runs(qsizetype from, qsizetype to) const = 0;
    // The run that holds `pos`, and where it ends.
    virtual std::pair<Run, qsizetype> RunAt(qsizetype pos) const = 0;

    virtual qsizetype SegmentCount() const = 0;
    // The line a segment belongs to, and its index within the line.
    virtual std::pair<qsizetype, qsizetype> SegmentLine(qsizetype segment) const = 0;
    // The text range [first, second) of a segment, its line feed left out.
    virtual std::pair<qsizetype, qsizetype> SegmentRange(qsizetype segment) const = 0;
    virtual qsizetype SegmentOf(qsizetype pos) const = 0;
};

// The lines longer than one segment, and the segments each adds: the index between lines
// and segments, O(log n) each way. Only the last line listed can grow.
class LongLines
{
public:
    void Clear();
    // The line now adds `extra` segments; no line after it is listed.
    void Set(qsizetype line, qsizetype extra)
    {
        if (extra > 0 || (!m_entries.isEmpty() && m_entries.last().line == line))
            Update(line, extra); // most lines are short: nothing to do for them
    }
    // How many segments the long lines add.
    qsizetype Extra() const { return m_extra; }
    qsizetype ExtraOf(qsizetype line) const;
    qsizetype FirstSegment(qsizetype line) const;
    std::pair<qsizetype, qsizetype> SegmentLine(qsizetype segment) const;
    // Appends `times` copies of the list for copies of `lines` lines.
    void AppendCopies(qsizetype times, qsizetype lines);

private:
    void Update(qsizetype line, qsizetype extra);

    struct Entry
    {
        qsizetype line;
        qsizetype extraBefore; // segments added by the long lines before it
        qsizetype extra;
    };
    QList<Entry> m_entries;
    qsizetype m_extra = 0;
};
