#pragma once

#include "engine/seams.h"

class QWidget;

// The modal warning of the window: exclamation icon, one OK button.
class MessageBoxWarning : public WarningBox
{
public:
    explicit MessageBoxWarning(QWidget *parent);
    void Show(const QString &title, const QString &text) override;

private:
    QWidget *m_parent;
};
