// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/warningbox.h"

#include <QList>
#include <QStringList>

class QWidget;

// The modal warning of the window: exclamation icon, one OK button. Never two at once:
// a warning raised while one is open (its event loop runs) waits until it is closed,
// and then shows once, however often it was raised meanwhile.
class MessageBoxWarning : public WarningBox
{
public:
    explicit MessageBoxWarning(QWidget *parent);
    void Show(const QString &title, const QString &text, const QString &informative) override;

private:
    QWidget *m_parent;
    QStringList m_shown; // title, text and informative text of the open box; empty if none
    QList<QStringList> m_waiting; // the same of each warning still to show
};
