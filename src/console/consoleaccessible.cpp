// SPDX-License-Identifier: GPL-3.0-or-later
#include "consoleaccessible.h"

#include "consoleview.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QScrollBar>
#include <QTextBoundaryFinder>

#include <limits>

namespace {

// The value UI automation asks for often: the newest traffic, not a day's log each time.
constexpr qsizetype ValueLimit = 64 * 1024;

// A position's offset in the reader's window.
int ReaderOffset(const ConsoleView *view, qsizetype pos)
{
    const qsizetype base = view->ReaderBase();
    const qsizetype last
        = std::min<qsizetype>(view->Shown().Size() - base, std::numeric_limits<int>::max());
    return int(std::clamp<qsizetype>(pos - base, 0, last));
}

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
        if (t != QAccessible::Value)
            return QAccessibleWidget::text(t);
        const ConsoleLines &store = View()->Shown();
        qsizetype from = std::max<qsizetype>(0, store.Size() - ValueLimit);
        const qsizetype line = store.LineOf(from);
        if (store.LineStart(line) < from && line + 1 < store.LineCount())
            from = store.LineStart(line + 1); // whole lines, where there are any
        return View()->Text(from, store.Size());
    }

    void selection(int index, int *start, int *end) const override
    {
        const bool any = index == 0 && selectionCount() == 1;
        *start = any ? Offset(View()->SelectionStart()) : 0;
        *end = any ? Offset(View()->SelectionEnd()) : 0;
    }
    int selectionCount() const override
    {
        return View()->SelectionStart() != View()->SelectionEnd() ? 1 : 0;
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { View()->SetCaret(View()->CaretPosition()); }
    void setSelection(int, int start, int end) override
    {
        View()->SetSelection(Pos(start), Pos(end));
        View()->EnsureVisible(View()->CaretPosition());
    }
    int cursorPosition() const override { return Offset(View()->CaretPosition()); }
    void setCursorPosition(int position) override
    {
        View()->SetCaret(Pos(position));
        View()->EnsureVisible(View()->CaretPosition());
    }
    QString text(int start, int end) const override
    {
        const qsizetype from = Pos(start);
        return View()->Text(from, PieceEnd(View()->Shown(), from, Pos(end)));
    }
    int characterCount() const override { return Offset(View()->Shown().Size()); }
    QRect characterRect(int offset) const override
    {
        const ConsoleView *view = View();
        if (offset < 0 || offset >= characterCount())
            return {};
        const qsizetype pos = Pos(offset);
        QRect rect = view->PositionRect(pos);
        const QRect next = view->PositionRect(pos + 1);
        if (rect.isNull())
            return {};
        if (!next.isNull() && next.top() == rect.top() && next.left() > rect.left())
            rect.setRight(next.left() - 1); // as wide as the character
        return QRect(view->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint local = View()->viewport()->mapFromGlobal(point);
        if (!View()->viewport()->rect().contains(local))
            return -1;
        const qsizetype pos = View()->PositionAt(local);
        return pos < Base() ? -1 : Offset(pos);
    }
    void scrollToSubstring(int start, int) override { View()->EnsureVisible(Pos(start)); }
    QString attributes(int offset, int *start, int *end) const override
    {
        const ConsoleLines &store = View()->Shown();
        if (offset < 0 || offset >= characterCount()) {
            *start = *end = -1;
            return {};
        }
        const auto [run, runEnd] = store.RunAt(Pos(offset));
        *start = Offset(run.first);
        *end = Offset(runEnd);
        return QStringLiteral("fg-color:%1,%2,%3;")
            .arg(qRed(run.second))
            .arg(qGreen(run.second))
            .arg(qBlue(run.second));
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
    qsizetype Base() const { return View()->ReaderBase(); }
    // A position of the text from an offset of the window, and back.
    qsizetype Pos(int offset) const
    {
        return Base() + std::clamp<qsizetype>(offset, 0, View()->Shown().Size() - Base());
    }
    int Offset(qsizetype pos) const { return ReaderOffset(View(), pos); }

    // The text of a range as far as one answer carries it.
    QString Piece(std::pair<int, int> range, int *start, int *end) const
    {
        const QString piece = text(range.first, range.second);
        *start = range.first;
        *end = range.first + int(piece.size());
        return piece;
    }

    // The unit of the given kind around an offset. A line is a display row, as the
    // operator sees it; a paragraph is a received line, or a segment of a longer one; words
    // and sentences are found within that. None grows with the session.
    std::pair<int, int> Around(int offset, QAccessible::TextBoundaryType type) const
    {
        const ConsoleLines &store = View()->Shown();
        offset = std::clamp(offset, 0, characterCount());
        if (type == QAccessible::NoBoundary)
            return { 0, characterCount() };
        const qsizetype pos = Pos(offset);
        if (type == QAccessible::LineBoundary) {
            const auto [from, to] = View()->Layouts().RowRange(pos);
            return { Offset(from), Offset(to) };
        }
        const auto [segmentStart, segmentEnd] = store.SegmentRange(store.SegmentOf(pos));
        const bool lineFeed = segmentEnd < store.Size() && store.At(segmentEnd) == u'\n';
        const int from = Offset(segmentStart);
        const int to = Offset(segmentEnd + (lineFeed ? 1 : 0));
        if (type == QAccessible::ParagraphBoundary)
            return { from, to };
        const QString piece = text(from, to);
        const auto kind = type == QAccessible::CharBoundary ? QTextBoundaryFinder::Grapheme
            : type == QAccessible::WordBoundary             ? QTextBoundaryFinder::Word
                                                            : QTextBoundaryFinder::Sentence;
        QTextBoundaryFinder finder(kind, piece);
        finder.setPosition(offset - from);
        const int at = int(finder.position());
        const int before = finder.isAtBoundary() ? at : int(finder.toPreviousBoundary());
        finder.setPosition(before);
        const int after = int(finder.toNextBoundary());
        return { from + std::max(0, before), after < 0 ? to : from + after };
    }
};

QAccessibleInterface *ConsoleAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ConsoleView") && object && object->isWidgetType())
        return new ConsoleAccessible(static_cast<ConsoleView *>(object));
    return nullptr;
}

} // namespace

void InstallConsoleAccessible()
{
    static const bool installed = (QAccessible::installFactory(ConsoleAccessibleFactory), true);
    Q_UNUSED(installed);
}

qsizetype PieceEnd(const ConsoleLines &lines, qsizetype from, qsizetype to)
{
    if (to - from <= TextPiece)
        return to;
    const qsizetype end = from + TextPiece;
    return lines.InsidePair(end) ? end - 1 : end;
}

qsizetype ReaderBase(const ConsoleLines &store, qsizetype base)
{
    const qsizetype earliest = store.Size() - ReaderWindow;
    if (earliest <= base)
        return base;
    // The first segment that starts there or after: a whole line, unless a long one.
    const qsizetype segment = store.SegmentOf(earliest);
    const qsizetype start = store.SegmentRange(segment).first;
    if (start >= earliest)
        return start;
    return segment + 1 < store.SegmentCount() ? store.SegmentRange(segment + 1).first
                                              : store.Size();
}

void NotifyTextAppended(ConsoleView *view, qsizetype from, qsizetype oldBase)
{
    if (!QAccessible::isActive())
        return;
    const ConsoleLines &store = view->Shown();
    const qsizetype base = view->ReaderBase();
    // What left the window, at its start, in pieces as the new text: its length keeps a
    // reader's count of characters right; its text is of no use to one.
    const qsizetype gone = std::min(base, from) - oldBase;
    const QString blanks(std::min(gone, TextPiece), QLatin1Char(' '));
    for (qsizetype told = 0; told < gone; told += blanks.size()) {
        QAccessibleTextRemoveEvent event(view, 0,
                                         blanks.first(std::min(gone - told, blanks.size())));
        QAccessible::updateAccessibility(&event);
    }
    for (qsizetype at = std::max(from, base); at < store.Size();) {
        const qsizetype end = PieceEnd(store, at, store.Size());
        QAccessibleTextInsertEvent event(view, ReaderOffset(view, at), view->Text(at, end));
        QAccessible::updateAccessibility(&event);
        at = end;
    }
}

QString ReaderTextStart(const ConsoleView *view)
{
    if (!QAccessible::isActive())
        return {};
    const qsizetype base = view->ReaderBase();
    return view->Text(base, PieceEnd(view->Shown(), base, view->Shown().Size()));
}

void NotifyReplaced(ConsoleView *view, const QString &removedStart)
{
    // Never the bare "text updated" event: the Linux bridge reads it as an event it is not.
    if (!QAccessible::isActive())
        return;
    if (!removedStart.isEmpty()) {
        QAccessibleTextRemoveEvent event(view, 0, removedStart);
        QAccessible::updateAccessibility(&event);
    }
    const QString inserted = ReaderTextStart(view);
    if (!inserted.isEmpty()) {
        QAccessibleTextInsertEvent event(view, 0, inserted);
        QAccessible::updateAccessibility(&event);
    }
}

void NotifyCaretMoved(ConsoleView *view)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTextCursorEvent event(view, ReaderOffset(view, view->CaretPosition()));
    QAccessible::updateAccessibility(&event);
}

void NotifySelectionChanged(ConsoleView *view)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTextSelectionEvent event(view, ReaderOffset(view, view->SelectionStart()),
                                        ReaderOffset(view, view->SelectionEnd()));
    QAccessible::updateAccessibility(&event);
}
