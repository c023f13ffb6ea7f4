// SPDX-License-Identifier: GPL-3.0-or-later
#include "confirmbox.h"

#include "common/plaintext.h"
#include "common/warningbox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

MessageBoxConfirm::MessageBoxConfirm(QWidget *parent)
    : m_parent(parent)
{ }

bool MessageBoxConfirm::Confirm(const QString &text, const QString &informative)
{
    return Ask(text, informative, true);
}

void MessageBoxConfirm::Refuse(const QString &text, const QString &informative)
{
    Ask(text, informative, false);
}

bool MessageBoxConfirm::ConfirmSend(const QString &text, const QString &informative)
{
    return Ask(text, informative, true, QCoreApplication::translate("MessageBoxConfirm", "发送"));
}

bool MessageBoxConfirm::Ask(const QString &text,
                            const QString &informative,
                            bool canWrite,
                            const QString &action)
{
    QMessageBox box(QMessageBox::Question, ConfirmTitle(), text, QMessageBox::NoButton, m_parent);
    // The list quotes the panel, which may hold anything: never read it as markup.
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(AsPlainText(informative));
    QPushButton *write = box.addButton(
        action.isEmpty() ? QCoreApplication::translate("MessageBoxConfirm", "写入") : action,
        QMessageBox::AcceptRole);
    write->setEnabled(canWrite);
    QPushButton *cancel = box.addButton(QCoreApplication::translate("MessageBoxConfirm", "取消"),
                                        QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    // exec() keeps the window's timer and port notifications running while it is open.
    box.exec();
    return box.clickedButton() == write;
}
