// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QRect>

class SegmentLayouts;

// Where the console's text stands in a view of a given height: which segment is at the
// top, where a position is drawn, which position a point hits. Plain code over the
// layouts and the lines they lay out, so it is tested without a widget.
class ConsoleGeometry
{
public:
    struct Top
    {
        qsizetype segment; // the first segment in view
        int y; // where it starts, at or above 0
    };

    explicit ConsoleGeometry(const SegmentLayouts &layouts)
        : m_layouts(layouts)
    { }

    // The newest text at the bottom of the view: the first segment in view may be cut.
    Top Following(int height) const;
    // How many whole segments fit at the bottom, at least one.
    qsizetype FitAtBottom(int height) const;
    // The first segment of a view that ends with `segment` at its bottom.
    qsizetype FirstWithAtBottom(qsizetype segment, int height) const;

    // Where a position is drawn, a caret-wide rectangle; empty when it is out of view or
    // not in the text.
    QRect PositionRect(Top top, int height, qsizetype pos) const;
    // The position nearest to a point; one above or below the text counts as its first or
    // last row.
    qsizetype PositionAt(Top top, int height, QPoint point) const;

private:
    const SegmentLayouts &m_layouts;
};
