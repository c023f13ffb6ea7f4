// SPDX-License-Identifier: GPL-3.0-or-later
#include "segmentlayout.h"

#include "consolelines.h"
#include "consoletext.h"

#include <algorithm>
#include <cmath>
#include <memory>

int LaidSegment::ToShown(qsizetype offset) const
{
    const auto before = std::lower_bound(codes.cbegin(), codes.cend(), offset) - codes.cbegin();
    return int(offset + before * (CodeDigits - 1));
}

qsizetype LaidSegment::FromShown(int shown) const
{
    qsizetype extra = 0;
    for (const qsizetype code : codes) {
        const qsizetype at = code + extra;
        if (shown <= at)
            break;
        if (shown < at + CodeDigits)
            return code + (shown - at > CodeDigits / 2 ? 1 : 0);
        extra += CodeDigits - 1;
    }
    return shown - extra;
}

QTextLine LaidSegment::RowOf(qsizetype pos) const
{
    const qsizetype offset = std::clamp<qsizetype>(pos - start, 0, end - start);
    const QTextLine row = layout.lineForTextPosition(ToShown(offset));
    return row.isValid() ? row : layout.lineAt(layout.lineCount() - 1);
}

qsizetype LaidSegment::AtX(const QTextLine &row, qreal x) const
{
    return start + FromShown(row.xToCursor(x));
}

SegmentLayouts::SegmentLayouts(const ConsoleLines &lines)
    : m_lines(&lines)
    , m_cache(Kept)
{ }

void SegmentLayouts::SetLines(const ConsoleLines &lines)
{
    m_lines = &lines;
    m_cache.clear();
}

void SegmentLayouts::SetFont(const QFont &font)
{
    if (font == m_font)
        return;
    m_font = font;
    m_cache.clear();
}

void SegmentLayouts::SetWidth(int width)
{
    if (width == m_width)
        return;
    m_width = width;
    m_cache.clear();
}

void SegmentLayouts::SetTimeMargin(int margin)
{
    if (margin == m_timeMargin)
        return;
    m_timeMargin = margin;
    m_cache.clear();
}

void SegmentLayouts::ForgetFrom(qsizetype segment)
{
    for (const qsizetype kept : m_cache.keys()) {
        if (kept >= segment)
            m_cache.remove(kept);
    }
}

int SegmentLayouts::KnownHeight(qsizetype segment) const
{
    const LaidSegment *laid = m_cache.object(segment);
    return laid ? laid->height : -1;
}

const LaidSegment *SegmentLayouts::Of(qsizetype segment) const
{
    if (LaidSegment *laid = m_cache.object(segment)) {
        if (std::pair { laid->start, laid->end } == m_lines->SegmentRange(segment))
            return laid;
    }
    return Lay(segment);
}

LaidSegment *SegmentLayouts::Lay(qsizetype segment) const
{
    auto laid = std::make_unique<LaidSegment>();
    std::tie(laid->start, laid->end) = m_lines->SegmentRange(segment);
    laid->index = m_lines->SegmentLine(segment).second;
    const QString text = Shown(m_lines->Text(laid->start, laid->end), laid->codes);
    QList<QTextLayout::FormatRange> formats;
    for (const qsizetype code : laid->codes) {
        QTextLayout::FormatRange small;
        small.start = laid->ToShown(code);
        small.length = CodeDigits;
        small.format.setFontPointSize(m_font.pointSizeF() * 0.7);
        formats.append(small);
    }
    const auto runs = m_lines->Runs(laid->start, laid->end);
    // A segment in one colour, the usual case, is drawn with that pen: a layout without
    // formats lays out and draws in fewer, longer runs.
    if (runs.size() == 1 && formats.isEmpty())
        laid->colour = runs.first().second;
    for (qsizetype i = 0; i < runs.size() && !laid->colour; ++i) {
        const qsizetype from = std::max(runs[i].first, laid->start) - laid->start;
        const qsizetype to
            = (i + 1 < runs.size() ? std::min(runs[i + 1].first, laid->end) : laid->end)
            - laid->start;
        QTextLayout::FormatRange colour;
        colour.start = laid->ToShown(from);
        colour.length = laid->ToShown(to) - colour.start;
        colour.format.setForeground(QColor(runs[i].second));
        formats.prepend(colour);
    }
    laid->layout.setText(text);
    laid->layout.setFont(m_font);
    laid->layout.setFormats(formats);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(Qt::LeftToRight);
    laid->layout.setTextOption(option);
    laid->layout.setCacheEnabled(true);
    const int width = std::max(20, m_width - TextLeft() - 2);
    qreal y = 0;
    laid->layout.beginLayout();
    for (QTextLine line = laid->layout.createLine(); line.isValid();
         line = laid->layout.createLine()) {
        line.setLineWidth(width);
        // A row never ends inside a boxed code: the whole code goes to the next row.
        const int rowEnd = line.textStart() + line.textLength();
        for (const qsizetype code : laid->codes) {
            const int at = laid->ToShown(code);
            if (at > line.textStart() && at < rowEnd && rowEnd < at + CodeDigits)
                line.setNumColumns(at - line.textStart());
        }
        line.setPosition(QPointF(TextLeft(), y));
        y += line.height();
    }
    laid->layout.endLayout();
    laid->height = int(std::ceil(y));
    LaidSegment *kept = laid.get();
    m_cache.insert(segment, laid.release());
    return kept;
}

qsizetype SegmentLayouts::MoveRows(qsizetype pos, int rows) const
{
    qsizetype segment = m_lines->SegmentOf(pos);
    const LaidSegment *laid = Of(segment);
    const QTextLine start = laid->RowOf(pos);
    const qreal x = start.cursorToX(laid->ToShown(pos - laid->start));
    int row = start.lineNumber();
    for (; rows < 0; ++rows) {
        if (row > 0) {
            --row;
        } else if (segment > 0) {
            laid = Of(--segment);
            row = laid->layout.lineCount() - 1;
        } else {
            return 0;
        }
    }
    for (; rows > 0; --rows) {
        if (row + 1 < laid->layout.lineCount()) {
            ++row;
        } else if (segment + 1 < m_lines->SegmentCount()) {
            laid = Of(++segment);
            row = 0;
        } else {
            return m_lines->Size();
        }
    }
    return laid->AtX(laid->layout.lineAt(row), x);
}

qsizetype SegmentLayouts::RowEdge(qsizetype pos, bool end) const
{
    const LaidSegment *laid = Of(m_lines->SegmentOf(pos));
    const QTextLine line = laid->RowOf(pos);
    int shown = line.textStart();
    if (end) {
        shown += line.textLength();
        // A row broken at a space ends before it, so the caret stays on the row.
        if (line.lineNumber() + 1 < laid->layout.lineCount() && shown > line.textStart()
            && laid->layout.text().at(shown - 1).isSpace())
            --shown;
    }
    return laid->start + laid->FromShown(shown);
}

std::pair<qsizetype, qsizetype> SegmentLayouts::RowRange(qsizetype pos) const
{
    const LaidSegment *laid = Of(m_lines->SegmentOf(pos));
    const QTextLine line = laid->RowOf(pos);
    const qsizetype from = laid->start + laid->FromShown(line.textStart());
    if (line.lineNumber() + 1 < laid->layout.lineCount())
        return { from, laid->start + laid->FromShown(line.textStart() + line.textLength()) };
    // The segment's last row: up to the next segment, or past the line feed.
    const bool lineFeed = laid->end < m_lines->Size() && m_lines->At(laid->end) == u'\n';
    return { from, laid->end + (lineFeed ? 1 : 0) };
}
