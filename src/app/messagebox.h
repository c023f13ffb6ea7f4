#pragma once

#include "common/warningbox.h"

class QWidget;

// The modal warning of the window: exclamation icon, one OK button. Never two at once:
// a warning raised while one is open (its event loop runs) is not stacked on top.
class MessageBoxWarning : public WarningBox
{
public:
    explicit MessageBoxWarning(QWidget *parent);
    void Show(const QString &title, const QString &text, const QString &informative) override;

private:
    QWidget *m_parent;
    bool m_open = false;
};
