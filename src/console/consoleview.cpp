// SPDX-License-Identifier: GPL-3.0-or-later
#include "consoleview.h"

#include "consoleaccessible.h"
#include "consolefind.h"
#include "consolerecord.h"
#include "consoletext.h"
#include "selectionoffer.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QStyleOptionSlider>

#include <utility>

ConsoleView::ConsoleView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    InstallConsoleAccessible();
    m_find = new FindBar(this);
    connect(&m_log, &ConsoleLog::failed, this, &ConsoleView::LogFailed);
    CreateActions();
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    setFont(font);
    m_layouts.SetFont(font);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent); // the paint fills what it repaints
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->installEventFilter(this);
    FitWidth();
    UpdateScrollBar(true);
}

ConsoleView::~ConsoleView() = default;

void ConsoleView::Append(const QString &text, QRgb colour, qint64 time, const QByteArray &bytes)
{
    m_store.Append(WithoutPairedCr(text), colour, time, bytes);
}

bool ConsoleView::EndAppend(qsizetype appendedFrom)
{
    if (appendedFrom >= Shown().Size())
        return false;
    m_sinceAppend.start();
    // At each batch as well as on the timer: a flood may hold the timer back for long.
    if (m_store.PackCold() && !m_pack.isActive())
        m_pack.start(50, this);
    // Only the segment the text was appended to, and those after it, are new.
    const qsizetype changed = Shown().SegmentOf(appendedFrom);
    const int oldHeight = m_layouts.KnownHeight(changed);
    m_layouts.ForgetFrom(changed);
    if (m_held) {
        // The view stays: only what shows the new text, and the banner, is painted again.
        UpdateScrollBar(true);
        const QRect newText = PositionRect(appendedFrom);
        viewport()->update(newText.isNull() ? BannerRect() : viewport()->rect());
        MoveReaderWindow(appendedFrom);
        emit textChanged();
        return false;
    }
    // A full view that follows the feed only moves up: what it shows above the changed
    // segment is moved on screen, and only the rows from there on are painted.
    const int height = viewport()->height();
    int above = oldHeight;
    for (qsizetype segment = changed - 1; oldHeight >= 0 && segment >= 0 && above < height;
         --segment)
        above += m_layouts.Of(segment)->height;
    const bool moves
        = m_follow && oldHeight >= 0 && above >= height && SelectionStart() == SelectionEnd();
    // Only rows that will be seen are laid out: a batch taller than the view is all new.
    int newHeight = 0;
    for (qsizetype segment = Shown().SegmentCount() - 1; segment >= changed && newHeight < height;
         --segment)
        newHeight += m_layouts.Of(segment)->height;
    const bool allNew = newHeight >= height;
    m_follow = true;
    UpdateScrollBar();
    if (moves && !allNew) {
        viewport()->scroll(0, oldHeight - newHeight);
        viewport()->update(LogMarkRect()); // it stays where it is
        viewport()->update(0, height - newHeight, viewport()->width(), newHeight);
    } else {
        viewport()->update();
    }
    // Screen readers hear of the new text first, then of the caret that moved past it.
    MoveReaderWindow(appendedFrom);
    SetCaret(Shown().Size());
    emit textChanged();
    return allNew;
}

void ConsoleView::MoveReaderWindow(qsizetype appendedFrom)
{
    const qsizetype oldBase = std::exchange(m_readerBase, ::ReaderBase(Shown(), m_readerBase));
    NotifyTextAppended(this, appendedFrom, oldBase);
}

void ConsoleView::StartAfresh()
{
    ++m_clears;
    m_layouts.SetLines(Shown());
    m_readerBase = ::ReaderBase(Shown(), 0);
    m_topY = 0;
}

void ConsoleView::Clear()
{
    const QString removed = ReaderTextStart(this);
    const bool caretMoved = m_caret != 0;
    const bool hadSelection = m_anchor != m_caret;
    m_log.BeforeClear();
    m_store.Clear();
    m_marks.Clear();
    m_release.start(0, this);
    m_log.AfterClear();
    StartAfresh();
    m_anchor = m_caret = 0;
    m_follow = !m_held;
    m_heldLines = LineCount();
    UpdateScrollBar(true);
    viewport()->update();
    NotifyReplaced(this, removed);
    emit cursorPositionChanged(); // the status line shows the empty console
    emit textChanged();
    if (caretMoved)
        NotifyCaretMoved(this);
    if (hadSelection) {
        emit selectionChanged();
        NotifySelectionChanged(this);
    }
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
    const ConsoleLines &lines = Shown();
    const qsizetype caretSegment = lines.SegmentOf(m_caret);
    const bool caretOn = hasFocus() && m_caretShown;
    const QColor mark = palette().color(QPalette::PlaceholderText);
    const ConsoleGeometry::Top top = TopOfView();
    Clock clock; // one per paint: its zone lookups serve every line in view
    int y = top.y;
    for (qsizetype segment = top.segment; segment < lines.SegmentCount() && y <= area.bottom();
         ++segment) {
        const LaidSegment *laid = m_layouts.Of(segment);
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
        if (m_timesShown && laid->index == 0)
            PaintTimes(painter, clock, *laid, y);
        if (m_hexShown)
            PaintCharacters(painter, *laid, y);
        const QPointF origin(0, y);
        if (laid->colour)
            painter.setPen(QColor(*laid->colour));
        laid->layout.draw(&painter, origin, selections);
        for (int i = laid->index == 0 ? 1 : 0; i < laid->layout.lineCount(); ++i) {
            // A continuation row: a hook in the margin, outside the text.
            const QTextLine row = laid->layout.lineAt(i);
            const qreal top = y + row.y() + 3;
            const qreal middle = y + row.y() + row.height() / 2;
            const qreal left = m_layouts.TimeMargin() + 2.5;
            painter.setPen(mark);
            painter.drawLine(QPointF(left, top), QPointF(left, middle));
            painter.drawLine(QPointF(left, middle), QPointF(m_layouts.TextLeft() - 2.5, middle));
        }
        for (const qsizetype code : laid->codes) {
            const int shown = laid->ToShown(code);
            const QTextLine row = laid->layout.lineForTextPosition(shown);
            const qreal left = row.cursorToX(shown);
            const qreal right = row.cursorToX(shown + CodeDigits);
            painter.setPen(QColor(lines.RunAt(laid->start + code).first.second));
            painter.drawRect(QRectF(left, y + row.y() + 1, right - left, row.height() - 2));
        }
        if (caretOn && segment == caretSegment)
            laid->layout.drawCursor(&painter, origin, laid->ToShown(m_caret - laid->start));
        y += laid->height;
    }
    if (m_held)
        PaintBanner(painter);
    if (m_log.Running())
        PaintLogMark(painter);
}

void ConsoleView::PaintTimes(QPainter &painter, Clock &clock, const LaidSegment &laid, int y) const
{
    const qint64 time = Shown().LineTime(Shown().LineOf(laid.start));
    if (time == 0)
        return; // the line has no character yet
    const QTextLine first = laid.layout.lineAt(0);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.setFont(font());
    painter.drawText(QPointF(2, y + first.y() + first.ascent()), clock.Text(time));
}

QFont ConsoleView::CharacterFont() const
{
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(font().pointSizeF());
    return fixed;
}

int ConsoleView::CharacterColumnWidth() const
{
    if (!m_hexShown)
        return 0;
    // A row of k bytes takes at least k times the narrowest byte ("00 " of the narrowest
    // digit) less a space, and k cells in the column, after a gap of one cell: the room is
    // shared so that the most bytes a row can hold always fit.
    const QFontMetricsF hex(font());
    qreal digit = hex.horizontalAdvance(QLatin1Char('0'));
    for (const QChar c : QStringLiteral("0123456789ABCDEF"))
        digit = std::min(digit, hex.horizontalAdvance(c));
    const qreal space = hex.horizontalAdvance(QLatin1Char(' '));
    const qreal byte = 2 * digit + space;
    const qreal cell = QFontMetricsF(CharacterFont()).horizontalAdvance(QLatin1Char('W'));
    const qreal room = viewport()->width() - m_layouts.TextLeft() - 2;
    return int(std::ceil((cell * byte + cell * (room + space)) / (byte + cell))) + 1;
}

void ConsoleView::FitWidth()
{
    m_layouts.SetWidth(viewport()->width() - CharacterColumnWidth());
}

std::pair<qsizetype, QString> ConsoleView::RowCharacters(const LaidSegment &laid,
                                                         const QTextLine &row) const
{
    // The hex text has no boxed characters: its layout's offsets are its own.
    const qsizetype line = Shown().LineOf(laid.start);
    const qsizetype lineStart = Shown().LineStart(line);
    const qsizetype from = laid.start + row.textStart() - lineStart;
    const qsizetype to = laid.start + row.textStart() + row.textLength() - lineStart;
    const qsizetype firstByte = from / 3;
    const QByteArray bytes = m_store.LineBytes(line, firstByte, (to + 2) / 3);
    return { lineStart + 3 * firstByte, HexLines::Characters(bytes) };
}

QString ConsoleView::CharacterColumn(qsizetype pos) const
{
    if (!m_hexShown)
        return {};
    const LaidSegment *laid = m_layouts.Of(Shown().SegmentOf(pos));
    return RowCharacters(*laid, laid->RowOf(pos)).second;
}

void ConsoleView::PaintCharacters(QPainter &painter, const LaidSegment &laid, int y) const
{
    const QFont fixed = CharacterFont();
    const qreal cell = QFontMetricsF(fixed).horizontalAdvance(QLatin1Char('W'));
    const qreal left = viewport()->width() - CharacterColumnWidth() + cell;
    painter.setFont(fixed);
    for (int i = 0; i < laid.layout.lineCount(); ++i) {
        const QTextLine row = laid.layout.lineAt(i);
        const auto [first, characters] = RowCharacters(laid, row);
        const qreal baseline = y + row.y() + row.ascent();
        // Each byte's character in the colour of its byte.
        const QList<ConsoleLines::Run> runs = Shown().Runs(first, first + 3 * characters.size());
        for (qsizetype r = 0; r < runs.size(); ++r) {
            const qsizetype from = std::max<qsizetype>(0, (runs[r].first - first) / 3);
            const qsizetype to = r + 1 < runs.size()
                ? std::min(characters.size(), (runs[r + 1].first - first) / 3)
                : characters.size();
            painter.setPen(QColor(runs[r].second));
            painter.drawText(QPointF(left + from * cell, baseline),
                             characters.mid(from, to - from));
        }
    }
}

QRect ConsoleView::BannerRect() const
{
    const QFontMetrics metrics(font());
    const QString text = tr("已暂停滚动，新到 %1 行").arg(LinesSinceHeld());
    QRect rect(0, 0, metrics.horizontalAdvance(text) + 2 * metrics.averageCharWidth(),
               metrics.height() + 6);
    rect.moveBottomRight(viewport()->rect().bottomRight() - QPoint(4, 4));
    return rect;
}

void ConsoleView::PaintBanner(QPainter &painter) const
{
    // A small note at the bottom of the view: held, and how much came in meanwhile.
    const QRect rect = BannerRect();
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.setBrush(palette().toolTipBase());
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.setFont(font());
    painter.drawText(rect, Qt::AlignCenter, tr("已暂停滚动，新到 %1 行").arg(LinesSinceHeld()));
}

void ConsoleView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    FitWidth();
    UpdateScrollBar(true);
    m_find->Place();
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
    if (event->key() == Qt::Key_ScrollLock) {
        SetHeld(!m_held);
        return;
    }
    if (event->key() == Qt::Key_F10 && shift) { // the menu key's stand-in, as elsewhere
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        contextMenuEvent(&menu);
        return;
    }
    const bool selected = SelectionStart() != SelectionEnd();
    qsizetype to = m_caret;
    switch (event->key()) {
    case Qt::Key_Left: // a surrogate pair is stepped over whole
        to = selected && !shift ? SelectionStart() : to - 1;
        break;
    case Qt::Key_Right:
        to = selected && !shift ? SelectionEnd() : to + (Shown().InsidePair(to + 1) ? 2 : 1);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int rows
            = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down ? 1 : RowsPerPage();
        const bool up = event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp;
        to = m_layouts.MoveRows(m_caret, up ? -rows : rows);
        break;
    }
    case Qt::Key_Home:
        to = control ? 0 : m_layouts.RowEdge(m_caret, false);
        break;
    case Qt::Key_End:
        to = control ? Shown().Size() : m_layouts.RowEdge(m_caret, true);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    SetCaret(to, shift);
    EnsureVisible(m_caret);
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
    EnsureVisible(m_caret);
}

void ConsoleView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selecting)
        return;
    m_selecting = false;
    OfferSelection();
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
    if (event->timerId() == m_release.timerId()) {
        if (!m_store.ReleaseCleared())
            m_release.stop();
        return;
    }
    if (event->timerId() == m_pack.timerId()) {
        if (!m_store.PackCold())
            m_pack.stop();
        return;
    }
    if (event->timerId() != m_blink.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (m_follow && m_sinceAppend.isValid() && m_sinceAppend.elapsed() < flash) {
        if (!std::exchange(m_caretShown, true))
            viewport()->update(CaretRect().adjusted(-2, 0, 2, 0));
        return;
    }
    m_caretShown = !m_caretShown;
    viewport()->update(CaretRect().adjusted(-2, 0, 2, 0));
}
