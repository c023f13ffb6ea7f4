// SPDX-License-Identifier: GPL-3.0-or-later
#include "consoleview.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QStyleOptionSlider>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <optional>

namespace {

constexpr int CodeDigits = 4; // every boxed character lies in the BMP
constexpr int LayoutsKept = 400;

QFont ConsoleFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    return font;
}

QString Hex(char16_t c)
{
    return QString::number(c, 16).toUpper().rightJustified(CodeDigits, QLatin1Char('0'));
}

} // namespace

// One segment laid out at the view's width. A boxed character stands in the layout as
// its CodeDigits hex digits, so positions are mapped between text and layout.
struct ConsoleView::Laid
{
    QTextLayout layout;
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype index = 0; // of the segment within its line
    QList<qsizetype> codes; // offsets of the boxed characters, from `start`
    std::optional<QRgb> colour; // of the whole segment, when it has but one
    int height = 0;

    int ToShown(qsizetype offset) const
    {
        const auto before = std::lower_bound(codes.cbegin(), codes.cend(), offset) - codes.cbegin();
        return int(offset + before * (CodeDigits - 1));
    }
    qsizetype FromShown(int shown) const
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
};

bool ConsoleView::ShownAsCode(char16_t c)
{
    if (c < 0x80)
        return false; // the console draws C0 and DEL as control pictures already
    if (c == 0xFDD0 || c == 0xFDD1)
        return true;
    switch (QChar::category(c)) {
    case QChar::Other_Control: // C1, as from a wrong baud rate
    case QChar::Other_Format: // zero-width and bidirectional controls, the byte-order mark
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString ConsoleView::Shown(const QString &text, QList<qsizetype> &codes)
{
    codes.clear();
    QString shown;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!ShownAsCode(text.at(i).unicode()))
            continue;
        codes.append(i);
        shown += QStringView(text).sliced(from, i - from);
        shown += Hex(text.at(i).unicode());
        from = i + 1;
    }
    if (codes.isEmpty())
        return text; // the usual case: nothing to change, nothing copied
    shown += QStringView(text).sliced(from);
    return shown;
}

QString ConsoleView::Painted(const QString &text)
{
    QList<qsizetype> codes;
    QString painted = Shown(text, codes);
    // Backwards, so that each code's place in the shown text stays where Shown put it.
    for (qsizetype i = codes.size() - 1; i >= 0; --i) {
        const qsizetype at = codes[i] + i * (CodeDigits - 1);
        painted.insert(at + CodeDigits, QLatin1Char(']'));
        painted.insert(at, QLatin1Char('['));
    }
    return painted;
}

// ---------------------------------------------------------------------------------------
// What screen readers and UI automation read: the whole text, the caret and the selection.

class ConsoleAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ConsoleAccessible(ConsoleView *view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    { }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? View()->toPlainText() : QAccessibleWidget::text(t);
    }

    void selection(int index, int *start, int *end) const override
    {
        const bool any = index == 0 && selectionCount() == 1;
        *start = any ? int(View()->SelectionStart()) : 0;
        *end = any ? int(View()->SelectionEnd()) : 0;
    }
    int selectionCount() const override
    {
        return View()->SelectionStart() != View()->SelectionEnd() ? 1 : 0;
    }
    void addSelection(int start, int end) override { View()->SetSelection(start, end); }
    void removeSelection(int) override { View()->SetCaret(View()->CaretPosition()); }
    void setSelection(int, int start, int end) override { View()->SetSelection(start, end); }
    int cursorPosition() const override { return int(View()->CaretPosition()); }
    void setCursorPosition(int position) override { View()->SetCaret(position); }
    QString text(int start, int end) const override { return View()->Store().Text(start, end); }
    int characterCount() const override { return int(View()->Store().Size()); }
    QRect characterRect(int offset) const override
    {
        const QRect rect = View()->PositionRect(offset);
        return rect.isNull() ? QRect()
                             : QRect(View()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return int(View()->PositionAt(View()->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int start, int) override { View()->SetCaret(start); }
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = offset;
        *end = offset;
        return {};
    }
    QString textBeforeOffset(int offset,
                             QAccessible::TextBoundaryType type,
                             int *start,
                             int *end) const override
    {
        const auto [from, to] = Around(offset, type);
        return Piece(from > 0 ? Around(from - 1, type) : std::pair { 0, 0 }, start, end);
    }
    QString textAfterOffset(int offset,
                            QAccessible::TextBoundaryType type,
                            int *start,
                            int *end) const override
    {
        const auto [from, to] = Around(offset, type);
        return Piece(to < characterCount() ? Around(to, type) : std::pair { to, to }, start, end);
    }
    QString textAtOffset(int offset,
                         QAccessible::TextBoundaryType type,
                         int *start,
                         int *end) const override
    {
        return Piece(Around(offset, type), start, end);
    }

private:
    ConsoleView *View() const { return static_cast<ConsoleView *>(widget()); }

    QString Piece(std::pair<int, int> range, int *start, int *end) const
    {
        *start = range.first;
        *end = range.second;
        return text(range.first, range.second);
    }

    // The unit of the given kind around a position. Words and sentences never cross a
    // line of the console, so each is found within its line alone.
    std::pair<int, int> Around(int offset, QAccessible::TextBoundaryType type) const
    {
        const ConsoleStore &store = View()->Store();
        offset = std::clamp(offset, 0, characterCount());
        if (type == QAccessible::NoBoundary)
            return { 0, characterCount() };
        const qsizetype line = store.LineOf(offset);
        const int lineStart = int(store.LineStart(line));
        const int lineEnd
            = int(line + 1 < store.LineCount() ? store.LineStart(line + 1) : store.Size());
        if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary)
            return { lineStart, lineEnd };
        const QString lineText = store.Text(lineStart, lineEnd);
        const auto kind = type == QAccessible::CharBoundary ? QTextBoundaryFinder::Grapheme
            : type == QAccessible::WordBoundary             ? QTextBoundaryFinder::Word
                                                            : QTextBoundaryFinder::Sentence;
        QTextBoundaryFinder finder(kind, lineText);
        finder.setPosition(offset - lineStart);
        const int at = finder.position();
        const bool onBoundary = finder.isAtBoundary();
        const int from = onBoundary ? at : int(finder.toPreviousBoundary());
        finder.setPosition(from);
        const int to = int(finder.toNextBoundary());
        return { lineStart + std::max(0, from), lineStart + (to < 0 ? int(lineText.size()) : to) };
    }
};

QAccessibleInterface *ConsoleAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ConsoleView") && object && object->isWidgetType())
        return new ConsoleAccessible(static_cast<ConsoleView *>(object));
    return nullptr;
}

// ---------------------------------------------------------------------------------------

ConsoleView::ConsoleView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_layouts(LayoutsKept)
{
    static const bool accessible = (QAccessible::installFactory(ConsoleAccessibleFactory), true);
    Q_UNUSED(accessible);
    setFont(ConsoleFont());
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent); // the paint fills what it repaints
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->installEventFilter(this);
    UpdateScrollBar();
}

ConsoleView::~ConsoleView() = default;

void ConsoleView::Append(QStringView text, QRgb colour)
{
    m_store.Append(text, colour);
}

bool ConsoleView::EndAppend(qsizetype appendedFrom)
{
    if (appendedFrom >= m_store.Size())
        return false;
    // Only the segment the text was appended to, and those after it, are new.
    const qsizetype changed = m_store.SegmentOf(appendedFrom);
    const Laid *before = m_layouts.object(changed);
    const int oldHeight = before ? before->height : -1;
    for (const qsizetype segment : m_layouts.keys()) {
        if (segment >= changed)
            m_layouts.remove(segment);
    }
    // A full view that follows the feed only moves up: what it shows above the changed
    // segment is moved on screen, and only the rows from there on are painted.
    const int height = viewport()->height();
    int above = oldHeight;
    for (qsizetype segment = changed - 1; oldHeight >= 0 && segment >= 0 && above < height;
         --segment)
        above += LayoutOf(segment)->height;
    const bool moves
        = m_follow && oldHeight >= 0 && above >= height && SelectionStart() == SelectionEnd();
    // Only rows that will be seen are laid out: a batch taller than the view is all new.
    int newHeight = 0;
    for (qsizetype segment = m_store.SegmentCount() - 1; segment >= changed && newHeight < height;
         --segment)
        newHeight += LayoutOf(segment)->height;
    const bool allNew = newHeight >= height;
    m_follow = true;
    UpdateScrollBar();
    if (moves && !allNew) {
        viewport()->scroll(0, oldHeight - newHeight);
        viewport()->update(0, height - newHeight, viewport()->width(), newHeight);
    } else {
        viewport()->update();
    }
    SetCaret(m_store.Size());
    if (QAccessible::isActive()) {
        QAccessibleTextInsertEvent event(this, int(appendedFrom),
                                         m_store.Text(appendedFrom, m_store.Size()));
        QAccessible::updateAccessibility(&event);
    }
    return allNew;
}

void ConsoleView::Clear()
{
    m_store.Clear();
    m_layouts.clear();
    m_follow = true;
    UpdateScrollBar();
    const bool hadSelection = m_anchor != m_caret;
    m_anchor = m_caret = 0;
    emit cursorPositionChanged();
    if (hadSelection)
        emit selectionChanged();
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::TextUpdated);
        QAccessible::updateAccessibility(&event);
    }
}

void ConsoleView::SetSelection(qsizetype anchor, qsizetype caret)
{
    SetCaret(anchor);
    SetCaret(caret, true);
}

void ConsoleView::SetCaret(qsizetype pos, bool keepAnchor)
{
    pos = std::clamp<qsizetype>(pos, 0, m_store.Size());
    const qsizetype oldCaret = m_caret;
    const qsizetype oldAnchor = m_anchor;
    m_caret = pos;
    if (!keepAnchor)
        m_anchor = pos;
    const bool selectionMoved = (oldAnchor != oldCaret || m_anchor != m_caret)
        && (oldAnchor != m_anchor || oldCaret != m_caret);
    if (oldCaret == m_caret && !selectionMoved)
        return;
    if (selectionMoved) {
        viewport()->update();
    } else {
        viewport()->update(PositionRect(oldCaret).adjusted(-2, 0, 2, 0));
        viewport()->update(CaretRect().adjusted(-2, 0, 2, 0));
    }
    if (oldCaret != m_caret)
        emit cursorPositionChanged();
    if (selectionMoved)
        emit selectionChanged();
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent event(this, int(m_caret));
        QAccessible::updateAccessibility(&event);
    }
}

void ConsoleView::selectAll()
{
    SetSelection(0, m_store.Size());
}

void ConsoleView::copy() const
{
    if (SelectionStart() != SelectionEnd())
        QGuiApplication::clipboard()->setText(SelectedText());
}

ConsoleView::Laid *ConsoleView::LayoutOf(qsizetype segment) const
{
    if (Laid *laid = m_layouts.object(segment))
        return laid;
    auto laid = std::make_unique<Laid>();
    std::tie(laid->start, laid->end) = m_store.SegmentRange(segment);
    laid->index = m_store.SegmentLine(segment).second;
    const QString text = Shown(m_store.Text(laid->start, laid->end), laid->codes);
    QList<QTextLayout::FormatRange> formats;
    for (const qsizetype code : laid->codes) {
        QTextLayout::FormatRange small;
        small.start = laid->ToShown(code);
        small.length = CodeDigits;
        small.format.setFontPointSize(ConsoleFont().pointSizeF() * 0.7);
        formats.append(small);
    }
    const auto runs = m_store.Runs(laid->start, laid->end);
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
    laid->layout.setFont(font());
    laid->layout.setFormats(formats);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(Qt::LeftToRight);
    laid->layout.setTextOption(option);
    laid->layout.setCacheEnabled(true);
    const int width = std::max(20, viewport()->width() - Margin - 2);
    qreal y = 0;
    laid->layout.beginLayout();
    for (QTextLine line = laid->layout.createLine(); line.isValid();
         line = laid->layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(Margin, y));
        y += line.height();
    }
    laid->layout.endLayout();
    laid->height = int(std::ceil(y));
    Laid *kept = laid.get();
    m_layouts.insert(segment, laid.release());
    return kept;
}

ConsoleView::Top ConsoleView::TopOfView() const
{
    if (!m_follow)
        return { verticalScrollBar()->value(), 0 };
    // The newest text at the bottom; the first segment in view may be cut at the top.
    int y = viewport()->height();
    for (qsizetype segment = m_store.SegmentCount() - 1; segment >= 0; --segment) {
        y -= LayoutOf(segment)->height;
        if (y <= 0)
            return { segment, y };
    }
    return { 0, 0 };
}

void ConsoleView::UpdateScrollBar()
{
    m_barStale = false;
    const int height = viewport()->height();
    qsizetype fit = 0;
    int used = 0;
    for (qsizetype segment = m_store.SegmentCount() - 1; segment >= 0; --segment) {
        used += LayoutOf(segment)->height;
        if (used > height)
            break;
        ++fit;
    }
    const int maximum = int(m_store.SegmentCount() - std::max<qsizetype>(fit, 1));
    QScrollBar *bar = verticalScrollBar();
    if (m_follow && !bar->isSliderDown()
        && SliderRect(maximum, maximum) == SliderRect(bar->maximum(), bar->value())) {
        // Following a feed deep into a long session, the slider stays where it is drawn:
        // the bar takes its new range when the operator next reaches for it.
        m_barStale = true;
        return;
    }
    m_settingScroll = true;
    bar->setRange(0, maximum);
    bar->setPageStep(int(std::max<qsizetype>(fit, 1)));
    if (m_follow)
        bar->setValue(maximum);
    m_settingScroll = false;
}

QRect ConsoleView::SliderRect(int maximum, int value) const
{
    const QScrollBar *bar = verticalScrollBar();
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = Qt::Vertical;
    option.minimum = 0;
    option.maximum = maximum;
    option.sliderPosition = value;
    option.sliderValue = value;
    option.singleStep = 1;
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        bar);
}

void ConsoleView::BarUpToDate()
{
    if (m_barStale)
        UpdateScrollBar();
}

bool ConsoleView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == verticalScrollBar()
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel
            || event->type() == QEvent::KeyPress))
        BarUpToDate();
    return QAbstractScrollArea::eventFilter(watched, event);
}

bool ConsoleView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        BarUpToDate();
    return QAbstractScrollArea::viewportEvent(event);
}

void ConsoleView::scrollContentsBy(int, int)
{
    if (m_settingScroll)
        return; // whoever moves the bar repaints what changes
    m_follow = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    viewport()->update();
}

void ConsoleView::EnsureCaretVisible()
{
    BarUpToDate();
    const qsizetype segment = m_store.SegmentOf(m_caret);
    QScrollBar *bar = verticalScrollBar();
    const Top top = TopOfView();
    const QRect caret = CaretRect();
    if (!caret.isNull() && caret.top() >= 0 && caret.bottom() < viewport()->height())
        return;
    m_settingScroll = true;
    if (segment >= bar->maximum()) {
        m_follow = true;
        bar->setValue(bar->maximum());
    } else if (segment <= top.segment) {
        m_follow = false;
        bar->setValue(int(segment));
    } else {
        // The caret's segment at the bottom of the view.
        qsizetype first = segment;
        int used = LayoutOf(segment)->height;
        while (first > 0 && used + LayoutOf(first - 1)->height <= viewport()->height())
            used += LayoutOf(--first)->height;
        m_follow = false;
        bar->setValue(int(first));
    }
    m_settingScroll = false;
    viewport()->update();
}

QRect ConsoleView::PositionRect(qsizetype pos) const
{
    const qsizetype wanted = m_store.SegmentOf(pos);
    const Top top = TopOfView();
    if (wanted < top.segment)
        return {};
    int y = top.y;
    for (qsizetype segment = top.segment; segment < m_store.SegmentCount(); ++segment) {
        if (y >= viewport()->height())
            return {};
        const Laid *laid = LayoutOf(segment);
        if (segment == wanted) {
            const int shown = laid->ToShown(pos - laid->start);
            const QTextLine line = laid->layout.lineForTextPosition(shown);
            return QRect(int(line.cursorToX(shown)), y + int(line.y()), 1, int(line.height()));
        }
        y += laid->height;
    }
    return {};
}

qsizetype ConsoleView::PositionAt(QPoint point) const
{
    const Top top = TopOfView();
    int y = top.y;
    const qsizetype count = m_store.SegmentCount();
    for (qsizetype segment = top.segment; segment < count; ++segment) {
        const Laid *laid = LayoutOf(segment);
        const bool last = segment + 1 == count || y + laid->height >= viewport()->height();
        if (point.y() < y + laid->height || last) {
            for (int i = 0; i < laid->layout.lineCount(); ++i) {
                const QTextLine line = laid->layout.lineAt(i);
                if (point.y() < y + line.y() + line.height() || i + 1 == laid->layout.lineCount())
                    return laid->start + laid->FromShown(line.xToCursor(point.x()));
            }
        }
        y += laid->height;
    }
    return m_store.Size();
}

qsizetype ConsoleView::MoveRows(qsizetype pos, int rows) const
{
    qsizetype segment = m_store.SegmentOf(pos);
    const Laid *laid = LayoutOf(segment);
    const int shown = laid->ToShown(pos - laid->start);
    const QTextLine line = laid->layout.lineForTextPosition(shown);
    const qreal x = line.cursorToX(shown);
    int row = line.lineNumber();
    for (; rows < 0; ++rows) {
        if (row > 0) {
            --row;
        } else if (segment > 0) {
            laid = LayoutOf(--segment);
            row = laid->layout.lineCount() - 1;
        } else {
            return 0;
        }
    }
    for (; rows > 0; --rows) {
        if (row + 1 < laid->layout.lineCount()) {
            ++row;
        } else if (segment + 1 < m_store.SegmentCount()) {
            laid = LayoutOf(++segment);
            row = 0;
        } else {
            return m_store.Size();
        }
    }
    return laid->start + laid->FromShown(laid->layout.lineAt(row).xToCursor(x));
}

qsizetype ConsoleView::RowEdge(qsizetype pos, bool end) const
{
    const Laid *laid = LayoutOf(m_store.SegmentOf(pos));
    const QTextLine line = laid->layout.lineForTextPosition(laid->ToShown(pos - laid->start));
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

int ConsoleView::RowsPerPage() const
{
    return std::max(1, viewport()->height() / QFontMetrics(font()).lineSpacing() - 1);
}

void ConsoleView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, palette().base());
    const qsizetype from = SelectionStart();
    const qsizetype to = SelectionEnd();
    const qsizetype caretSegment = m_store.SegmentOf(m_caret);
    const bool caretOn = hasFocus() && m_caretShown;
    const QColor mark = palette().color(QPalette::PlaceholderText);
    const Top top = TopOfView();
    int y = top.y;
    for (qsizetype segment = top.segment; segment < m_store.SegmentCount() && y <= area.bottom();
         ++segment) {
        const Laid *laid = LayoutOf(segment);
        if (y + laid->height < area.top()) {
            y += laid->height;
            continue;
        }
        QList<QTextLayout::FormatRange> selections;
        if (from < to && from <= laid->end && to > laid->start) {
            QTextLayout::FormatRange selected;
            selected.start = laid->ToShown(std::max(from, laid->start) - laid->start);
            selected.length = laid->ToShown(std::min(to, laid->end) - laid->start) - selected.start;
            selected.format.setBackground(palette().highlight());
            selected.format.setForeground(palette().highlightedText());
            selections.append(selected);
        }
        const QPointF origin(0, y);
        if (laid->colour)
            painter.setPen(QColor(*laid->colour));
        laid->layout.draw(&painter, origin, selections);
        for (int i = 0; i < laid->layout.lineCount(); ++i) {
            const QTextLine line = laid->layout.lineAt(i);
            if (laid->index == 0 && i == 0)
                continue;
            // A continuation row: a hook in the margin, outside the text.
            const qreal top = y + line.y() + 3;
            const qreal middle = y + line.y() + line.height() / 2;
            painter.setPen(mark);
            painter.drawLine(QPointF(2.5, top), QPointF(2.5, middle));
            painter.drawLine(QPointF(2.5, middle), QPointF(Margin - 2.5, middle));
        }
        for (const qsizetype code : laid->codes) {
            const int shown = laid->ToShown(code);
            const QTextLine line = laid->layout.lineForTextPosition(shown);
            const qreal left = line.cursorToX(shown);
            const qreal right = line.cursorToX(shown + CodeDigits);
            const auto runs = m_store.Runs(laid->start + code, laid->start + code + 1);
            painter.setPen(QColor(runs.isEmpty() ? qRgb(0, 0, 0) : runs.last().second));
            painter.drawRect(QRectF(left, y + line.y() + 1, right - left, line.height() - 2));
        }
        if (caretOn && segment == caretSegment)
            laid->layout.drawCursor(&painter, origin, laid->ToShown(m_caret - laid->start));
        y += laid->height;
    }
}

void ConsoleView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_layouts.clear();
    UpdateScrollBar();
}

void ConsoleView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const bool selected = SelectionStart() != SelectionEnd();
    qsizetype to = m_caret;
    switch (event->key()) {
    case Qt::Key_Left:
        if (selected && !shift)
            to = SelectionStart();
        else if (to > 0)
            to -= to > 1 && m_store.At(to - 1).isLowSurrogate()
                    && m_store.At(to - 2).isHighSurrogate()
                ? 2
                : 1;
        break;
    case Qt::Key_Right:
        if (selected && !shift)
            to = SelectionEnd();
        else if (to < m_store.Size())
            to += to + 1 < m_store.Size() && m_store.At(to).isHighSurrogate()
                    && m_store.At(to + 1).isLowSurrogate()
                ? 2
                : 1;
        break;
    case Qt::Key_Up:
        to = MoveRows(m_caret, -1);
        break;
    case Qt::Key_Down:
        to = MoveRows(m_caret, 1);
        break;
    case Qt::Key_PageUp:
        to = MoveRows(m_caret, -RowsPerPage());
        break;
    case Qt::Key_PageDown:
        to = MoveRows(m_caret, RowsPerPage());
        break;
    case Qt::Key_Home:
        to = control ? 0 : RowEdge(m_caret, false);
        break;
    case Qt::Key_End:
        to = control ? m_store.Size() : RowEdge(m_caret, true);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    SetCaret(to, shift);
    EnsureCaretVisible();
    RestartBlink();
}

void ConsoleView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_selecting = true;
    SetCaret(PositionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
    RestartBlink();
}

void ConsoleView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    SetCaret(PositionAt(event->position().toPoint()), true);
    EnsureCaretVisible();
}

void ConsoleView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selecting)
        return;
    m_selecting = false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && SelectionStart() != SelectionEnd())
        clipboard->setText(SelectedText(), QClipboard::Selection);
}

void ConsoleView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction
        = menu.addAction(tr("&Copy") + QLatin1Char('\t')
                             + QKeySequence(QKeySequence::Copy).toString(QKeySequence::NativeText),
                         this, &ConsoleView::copy);
    copyAction->setEnabled(SelectionStart() != SelectionEnd());
    menu.addAction(tr("Select All") + QLatin1Char('\t')
                       + QKeySequence(QKeySequence::SelectAll).toString(QKeySequence::NativeText),
                   this, &ConsoleView::selectAll);
    menu.exec(event->globalPos());
}

void ConsoleView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    RestartBlink();
}

void ConsoleView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blink.stop();
    viewport()->update();
}

void ConsoleView::RestartBlink()
{
    m_caretShown = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blink.start(flash / 2, this);
    viewport()->update(CaretRect().adjusted(-2, 0, 2, 0));
}

void ConsoleView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blink.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    m_caretShown = !m_caretShown;
    viewport()->update(CaretRect().adjusted(-2, 0, 2, 0));
}
