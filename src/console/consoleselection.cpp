// SPDX-License-Identifier: GPL-3.0-or-later
// The console's caret and selection, and what they give to the clipboard and to screen
// readers.
#include "consoleview.h"

#include "consoleaccessible.h"
#include "consoletext.h"
#include "selectionoffer.h"

#include <QClipboard>
#include <QGuiApplication>

QString ConsoleView::Text(qsizetype from, qsizetype to) const
{
    return Pictured(m_store.Text(from, to));
}

void ConsoleView::SetSelection(qsizetype anchor, qsizetype caret)
{
    SetCaret(anchor);
    SetCaret(caret, true);
}

void ConsoleView::SetCaret(qsizetype pos, bool keepAnchor)
{
    pos = std::clamp<qsizetype>(pos, 0, m_store.Size());
    if (m_store.InsidePair(pos))
        --pos;
    const qsizetype oldCaret = m_caret;
    const qsizetype oldAnchor = m_anchor;
    const bool hadSelection = m_anchor != m_caret;
    m_caret = pos;
    if (!keepAnchor)
        m_anchor = pos;
    const bool selectionMoved = (hadSelection || m_anchor != m_caret)
        && (oldAnchor != m_anchor || oldCaret != m_caret || hadSelection != (m_anchor != m_caret));
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
    SetSelection(0, m_store.Size());
}

void ConsoleView::copy() const
{
    if (SelectionStart() != SelectionEnd())
        QGuiApplication::clipboard()->setText(SelectedText());
}
