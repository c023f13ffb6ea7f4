// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolegeometry.h"

#include "consolelines.h"
#include "segmentlayout.h"

ConsoleGeometry::Top ConsoleGeometry::Following(int height) const
{
    int y = height;
    for (qsizetype segment = m_layouts.Lines().SegmentCount() - 1; segment >= 0; --segment) {
        y -= m_layouts.Of(segment)->height;
        if (y <= 0)
            return { segment, y };
    }
    return { 0, 0 };
}

qsizetype ConsoleGeometry::FitAtBottom(int height) const
{
    qsizetype fit = 0;
    int used = 0;
    for (qsizetype segment = m_layouts.Lines().SegmentCount() - 1; segment >= 0; --segment) {
        used += m_layouts.Of(segment)->height;
        if (used > height)
            break;
        ++fit;
    }
    return std::max<qsizetype>(fit, 1);
}

qsizetype ConsoleGeometry::FirstWithAtBottom(qsizetype segment, int height) const
{
    qsizetype first = segment;
    int used = m_layouts.Of(segment)->height;
    while (first > 0 && used + m_layouts.Of(first - 1)->height <= height)
        used += m_layouts.Of(--first)->height;
    return first;
}

QRect ConsoleGeometry::PositionRect(Top top, int height, qsizetype pos) const
{
    if (pos < 0 || pos > m_layouts.Lines().Size())
        return {};
    const qsizetype wanted = m_layouts.Lines().SegmentOf(pos);
    int y = top.y;
    for (qsizetype segment = top.segment; segment <= wanted && y < height; ++segment) {
        const LaidSegment *laid = m_layouts.Of(segment);
        if (segment == wanted) {
            const QTextLine row = laid->RowOf(pos);
            const qreal x = row.cursorToX(laid->ToShown(pos - laid->start));
            return QRect(int(x), y + int(row.y()), 1, int(row.height()));
        }
        y += laid->height;
    }
    return {};
}

qsizetype ConsoleGeometry::PositionAt(Top top, int height, QPoint point) const
{
    int y = top.y;
    const qsizetype count = m_layouts.Lines().SegmentCount();
    for (qsizetype segment = top.segment; segment < count; ++segment) {
        const LaidSegment *laid = m_layouts.Of(segment);
        const bool last = segment + 1 == count || y + laid->height >= height;
        if (point.y() < y + laid->height || last) {
            for (int i = 0; i < laid->layout.lineCount(); ++i) {
                const QTextLine row = laid->layout.lineAt(i);
                if (point.y() < y + row.y() + row.height() || i + 1 == laid->layout.lineCount())
                    return laid->AtX(row, point.x());
            }
        }
        y += laid->height;
    }
    return m_layouts.Lines().Size();
}
