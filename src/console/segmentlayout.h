// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCache>
#include <QFont>
#include <QList>
#include <QRgb>
#include <QTextLayout>

#include <optional>
#include <utility>

class ConsoleLines;

// One display segment laid out at the view's width. A boxed character stands in the
// layout as its hex digits, so positions are mapped between text and layout.
struct LaidSegment
{
    QTextLayout layout;
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype index = 0; // of the segment within its line
    QList<qsizetype> codes; // offsets of the boxed characters, from `start`
    std::optional<QRgb> colour; // of the whole segment, when it has but one
    int height = 0;

    int ToShown(qsizetype offset) const;
    qsizetype FromShown(int shown) const;
    // The row that holds a text position.
    QTextLine RowOf(qsizetype pos) const;
    // The text position nearest to x on a row.
    qsizetype AtX(const QTextLine &row, qreal x) const;
};

// The console's segments laid out for its font and width, the ones in use kept: only
// what is in view, or near the caret, is ever laid out. Needs no widget.
class SegmentLayouts
{
public:
    static constexpr int Margin = 9; // room for the continuation mark
    static constexpr int Kept = 400;

    explicit SegmentLayouts(const ConsoleLines &lines);

    // The lines to lay out, in the form shown; forgets every layout.
    void SetLines(const ConsoleLines &lines);
    const ConsoleLines &Lines() const { return *m_lines; }
    // Each forgets every layout when it changes something.
    void SetFont(const QFont &font);
    void SetWidth(int width);
    // Room left of the rows, before the continuation mark's (the arrival times').
    void SetTimeMargin(int margin);
    const QFont &Font() const { return m_font; }
    int Width() const { return m_width; }
    int TimeMargin() const { return m_timeMargin; }
    // Where the rows begin.
    int TextLeft() const { return m_timeMargin + Margin; }

    void ForgetFrom(qsizetype segment);
    // The layout of a segment; one whose text has grown since is laid out again.
    const LaidSegment *Of(qsizetype segment) const;
    // The height of a segment if it is laid out already, else -1.
    int KnownHeight(qsizetype segment) const;

    // The position `rows` display rows above (negative) or below, as near to the same x
    // as the row allows.
    qsizetype MoveRows(qsizetype pos, int rows) const;
    // The start or the end of the display row that holds `pos`.
    qsizetype RowEdge(qsizetype pos, bool end) const;
    // The display row that holds `pos`, its line feed included when it ends a line.
    std::pair<qsizetype, qsizetype> RowRange(qsizetype pos) const;

private:
    LaidSegment *Lay(qsizetype segment) const;

    const ConsoleLines *m_lines;
    QFont m_font;
    int m_width = 0;
    int m_timeMargin = 0;
    mutable QCache<qsizetype, LaidSegment> m_cache;
};
