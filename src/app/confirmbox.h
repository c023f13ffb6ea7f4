// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/updateguard.h"

class QWidget;

// The window's "确认": a modal message box with "写入" and "取消"; "取消" is the default
// button, and Escape or closing the box cancels.
class MessageBoxConfirm : public ConfirmBox
{
public:
    explicit MessageBoxConfirm(QWidget *parent);
    bool Confirm(const QString &text, const QString &informative) override;

private:
    QWidget *m_parent;
};
