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
        const ConsoleStore &store = View()->Store();
        qsizetype from = std::max<qsizetype>(0, store.Size() - ValueLimit);
        const qsizetype line = store.LineOf(from);
        if (store.LineStart(line) < from && line + 1 < store.LineCount())
            from = store.LineStart(line + 1); // whole lines, where there are any
        return View()->Text(from, store.Size());
    }

    void selection(int index, int *start, int *end) const override
    {
        const bool any = index == 0 && selectionCount() == 1;
        *start = any ? AccessibleOffset(View()->SelectionStart()) : 0;
        *end = any ? AccessibleOffset(View()->SelectionEnd()) : 0;
    }
    int selectionCount() const override
    {
        return View()->SelectionStart() != View()->SelectionEnd() ? 1 : 0;
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { View()->SetCaret(View()->CaretPosition()); }
    void setSelection(int, int start, int end) override
    {
        View()->SetSelection(start, end);
        View()->EnsureVisible(View()->CaretPosition());
    }
    int cursorPosition() const override { return AccessibleOffset(View()->CaretPosition()); }
    void setCursorPosition(int position) override
    {
        View()->SetCaret(position);
        View()->EnsureVisible(View()->CaretPosition());
    }
    QString text(int start, int end) const override { return View()->Text(start, end); }
    int characterCount() const override { return AccessibleOffset(View()->Store().Size()); }
    QRect characterRect(int offset) const override
    {
        const ConsoleView *view = View();
        if (offset < 0 || offset >= view->Store().Size())
            return {};
        QRect rect = view->PositionRect(offset);
        const QRect next = view->PositionRect(offset + 1);
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
        return AccessibleOffset(View()->PositionAt(local));
    }
    void scrollToSubstring(int start, int) override { View()->EnsureVisible(start); }
    QString attributes(int offset, int *start, int *end) const override
    {
        const ConsoleStore &store = View()->Store();
        if (offset < 0 || offset >= store.Size()) {
            *start = *end = -1;
            return {};
        }
        const auto [run, runEnd] = store.RunAt(offset);
        *start = AccessibleOffset(run.first);
        *end = AccessibleOffset(runEnd);
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

    QString Piece(std::pair<int, int> range, int *start, int *end) const
    {
        *start = range.first;
        *end = range.second;
        return text(range.first, range.second);
    }

    // The unit of the given kind around a position. A line is a display row, as the
    // operator sees it; a paragraph is a received line, or a segment of a longer one; words
    // and sentences are found within that. None grows with the session.
    std::pair<int, int> Around(int offset, QAccessible::TextBoundaryType type) const
    {
        const ConsoleStore &store = View()->Store();
        offset = std::clamp(offset, 0, characterCount());
        if (type == QAccessible::NoBoundary)
            return { 0, characterCount() };
        if (type == QAccessible::LineBoundary) {
            const auto [from, to] = View()->Layouts().RowRange(offset);
            return { AccessibleOffset(from), AccessibleOffset(to) };
        }
        const auto [segmentStart, segmentEnd] = store.SegmentRange(store.SegmentOf(offset));
        const bool lineFeed = segmentEnd < store.Size() && store.At(segmentEnd) == u'\n';
        const int from = AccessibleOffset(segmentStart);
        const int to = AccessibleOffset(segmentEnd + (lineFeed ? 1 : 0));
        if (type == QAccessible::ParagraphBoundary)
            return { from, to };
        const QString piece = store.Text(from, to);
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

int AccessibleOffset(qsizetype pos)
{
    return int(std::clamp<qsizetype>(pos, -1, std::numeric_limits<int>::max()));
}

void NotifyTextInserted(ConsoleView *view, qsizetype from)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTextInsertEvent event(view, AccessibleOffset(from),
                                     view->Text(from, view->Store().Size()));
    QAccessible::updateAccessibility(&event);
}

void NotifyTextRemoved(ConsoleView *view, const QString &removed)
{
    // Never the bare "text updated" event: the Linux bridge reads it as an event it is not.
    if (!QAccessible::isActive() || removed.isEmpty())
        return;
    QAccessibleTextRemoveEvent event(view, 0, removed);
    QAccessible::updateAccessibility(&event);
}

void NotifyCaretMoved(ConsoleView *view)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTextCursorEvent event(view, AccessibleOffset(view->CaretPosition()));
    QAccessible::updateAccessibility(&event);
}

void NotifySelectionChanged(ConsoleView *view)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTextSelectionEvent event(view, AccessibleOffset(view->SelectionStart()),
                                        AccessibleOffset(view->SelectionEnd()));
    QAccessible::updateAccessibility(&event);
}
