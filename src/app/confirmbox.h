// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/updateguard.h"

class QWidget;

// The window's "确认": a modal message box with "写入" and "取消"; "取消" is the default
// button, and Escape or closing the box cancels. To refuse, the same box with "写入"
// disabled.
class MessageBoxConfirm : public ConfirmBox
{
public:
    explicit MessageBoxConfirm(QWidget *parent);
    bool Confirm(const QString &text, const QString &informative) override;
    void Refuse(const QString &text, const QString &informative) override;
    bool ConfirmSend(const QString &text, const QString &informative) override;

private:
    // The box, shown; true when its first button ("写入", or `action`) was pressed.
    bool Ask(const QString &text,
             const QString &informative,
             bool canWrite,
             const QString &action = QString());

    QWidget *m_parent;
};
