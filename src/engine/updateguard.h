// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QStringList>

class CommandEngine;
class PanelOrigin;

// The modal box titled "确认" that asks before an update writes, with "写入" and "取消"
// ("取消" the default, Escape cancels): true for "写入". Tests answer for it.
class ConfirmBox
{
public:
    virtual ~ConfirmBox() = default;
    // `informative` is shown below the text.
    virtual bool Confirm(const QString &text, const QString &informative) = 0;
    // The same box with "写入" disabled: what is listed must be mended first.
    virtual void Refuse(const QString &text, const QString &informative) = 0;
    // The same question before a hand-typed command goes out, its button "发送".
    virtual bool ConfirmSend(const QString &text, const QString &informative)
    {
        return Confirm(text, informative);
    }
};

// "更新模块信息". The update writes at once when the panel holds what the module on this
// port answered at a complete query (the operator's edits aside), with every box filled
// and an option chosen in both groups. Otherwise it asks first, listing what it is about
// to write, and writes only on "写入": what a panel left from another module, a query
// cut short, or a cleared panel would write is the operator's choice, not an accident.
// A value the module's firmware would refuse is never sent: the box lists it instead.
class UpdateGuard
{
    Q_DECLARE_TR_FUNCTIONS(UpdateGuard)

public:
    UpdateGuard(const PanelOrigin &origin, CommandEngine &engine, ConfirmBox &confirm);

    void StartUpdate();
    void SetConfirmBox(ConfirmBox &confirm) { m_confirm = &confirm; }

    // The settings the module would not take, a line each; while any is listed, the box
    // lists them and nothing is written.
    QStringList Problems() const;
    // Why the update would ask, a sentence each; empty when it writes at once.
    QStringList Causes() const;
    // The settings it writes, a line each: caption and value, followed by what the module
    // answered at its last query where that differs.
    QStringList Listing() const;

private:
    const PanelOrigin &m_origin;
    CommandEngine &m_engine;
    ConfirmBox *m_confirm;
};
