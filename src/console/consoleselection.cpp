// SPDX-License-Identifier: GPL-3.0-or-later
// The console's caret and selection, and what they give to the clipboard and to screen
// readers.
#include "consoleview.h"

#include "consoleaccessible.h"
#include "consolerecord.h"
#include "consoletext.h"
#include "selectionoffer.h"

#include <QClipboard>
#include <QGuiApplication>

QString ConsoleView::Text(qsizetype from, qsizetype to) const
{
    return Pictured(Shown().Text(from, to));
}

void ConsoleView::SetSelection(qsizetype anchor, qsizetype caret)
{
    Place(anchor, caret);
}

void ConsoleView::SetCaret(qsizetype pos, bool keepAnchor)
{
    Place(keepAnchor ? m_anchor : pos, pos);
}

void ConsoleView::Place(qsizetype anchor, qsizetype caret)
{
    // Never between the halves of a surrogate pair.
    const auto valid = [&](qsizetype pos) {
        pos = std::clamp<qsizetype>(pos, 0, Shown().Size());
        return Shown().InsidePair(pos) ? pos - 1 : pos;
    };
    const qsizetype oldCaret = m_caret;
    const std::pair oldSelection { SelectionStart(), SelectionEnd() };
    m_anchor = valid(anchor);
    m_caret = valid(caret);
    const std::pair selection { SelectionStart(), SelectionEnd() };
    const bool selectionMoved = selection != oldSelection
        && (oldSelection.first != oldSelection.second || selection.first != selection.second);
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
    if (oldCaret != m_caret)
        NotifyCaretMoved(this);
    if (selectionMoved)
        NotifySelectionChanged(this);
    if (selectionMoved && !m_selecting)
        OfferSelection();
}

void ConsoleView::OfferSelection()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && SelectionStart() != SelectionEnd())
        clipboard->setMimeData(new SelectionOffer(this), QClipboard::Selection);
}

void ConsoleView::selectAll()
{
    SetSelection(0, Shown().Size());
}

void ConsoleView::copy() const
{
    if (SelectionStart() != SelectionEnd())
        QGuiApplication::clipboard()->setText(CopiedText(SelectionStart(), SelectionEnd()));
}

QString ConsoleView::CopiedText(qsizetype from, qsizetype to) const
{
    return RecordText(Shown(), from, to, m_timesShown);
}
