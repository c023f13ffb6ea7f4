// SPDX-License-Identifier: GPL-3.0-or-later
#include "selectionoffer.h"

#include "consoleview.h"

SelectionOffer::SelectionOffer(const ConsoleView *view)
    : m_view(view)
    , m_from(view->SelectionStart())
    , m_to(view->SelectionEnd())
    , m_clears(view->Clears())
{ }

QStringList SelectionOffer::formats() const
{
    return { QStringLiteral("text/plain") };
}

bool SelectionOffer::hasFormat(const QString &mime) const
{
    return formats().contains(mime);
}

QVariant SelectionOffer::retrieveData(const QString &mime, QMetaType) const
{
    if (!m_view || m_view->Clears() != m_clears || !hasFormat(mime))
        return {};
    return m_view->CopiedText(m_from, m_to);
}
