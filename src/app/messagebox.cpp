// SPDX-License-Identifier: GPL-3.0-or-later
#include "messagebox.h"

#include "common/plaintext.h"

#include <QMessageBox>

MessageBoxWarning::MessageBoxWarning(QWidget *parent)
    : m_parent(parent)
{ }

void MessageBoxWarning::Show(const QString &title, const QString &text, const QString &informative)
{
    const QStringList warning { title, text, informative };
    if (warning == m_shown || m_waiting.contains(warning))
        return;
    m_waiting << warning;
    if (!m_shown.isEmpty())
        return; // raised while a box is open: shown once that one is closed
    while (!m_waiting.isEmpty()) {
        m_shown = m_waiting.takeFirst();
        // exec() keeps the window's timer and port notifications running while it is open.
        QMessageBox box(QMessageBox::Warning, m_shown[0], m_shown[1], QMessageBox::Ok, m_parent);
        // The texts may name a file or quote what a file or the module holds.
        box.setTextFormat(Qt::PlainText);
        box.setInformativeText(AsPlainText(m_shown[2]));
        box.exec();
    }
    m_shown.clear();
}
