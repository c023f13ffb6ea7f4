// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "consolelines.h"

#include <QByteArray>
#include <QList>

// The bytes of the console's lines where they do not follow from the text (see
// consolestore.h): which lines end in a bare LF, held as runs of lines (a module that ends
// its lines so costs nothing a line); the bytes of the other odd lines, one after another,
// with their colour runs; and the bytes of the line still being received.
//
// Costs: keeping a line, the length of its bytes; Kept() and BareLineFeed(), O(log n).
class KeptBytes
{
public:
    using Run = ConsoleLines::Run;
    // A line's bytes, kept at [start, end) of Bytes().
    struct Kept
    {
        qsizetype line;
        qsizetype start;
        qsizetype end;
    };

    // Adds to the bytes of the last line, in `colour`.
    void TakeOpen(QByteArrayView bytes, QRgb colour);
    QByteArrayView Open() const { return m_openBytes; }
    const QList<Run> &OpenRuns() const { return m_openRuns; }
    // The last line ended, its bytes taken: the room stays for the next.
    void ResetOpen();

    // Lines are kept in order: `line` is after every line kept before.
    void KeepBareLineFeed(qsizetype line);
    // Keeps the bytes of `line`, in the colours `runs` give (all in `colour` without them).
    void Keep(qsizetype line, QByteArrayView bytes, const QList<Run> *runs, QRgb colour);
    bool BareLineFeed(qsizetype line) const;
    const Kept *KeptOf(qsizetype line) const;
    QByteArrayView Bytes() const { return m_bytes; }
    const QList<Run> &Runs() const { return m_runs; }

    // Appends `times` copies of what is kept, for copies of `lines` closed lines.
    void AppendCopies(qsizetype times, qsizetype lines);
    void Clear();

private:
    QList<std::pair<qsizetype, qsizetype>> m_bareLineFeeds; // runs of lines [first, end)
    QList<Kept> m_kept;
    QByteArray m_bytes;
    QList<Run> m_runs; // over m_bytes
    QByteArray m_openBytes; // of the last line
    QList<Run> m_openRuns; // over m_openBytes
};
