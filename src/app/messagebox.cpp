#include "messagebox.h"

#include <QMessageBox>

MessageBoxWarning::MessageBoxWarning(QWidget *parent)
    : m_parent(parent)
{ }

void MessageBoxWarning::Show(const QString &title, const QString &text, const QString &informative)
{
    if (m_open)
        return;
    // exec() keeps the window's timer and port notifications running while it is open.
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, m_parent);
    box.setInformativeText(informative);
    m_open = true;
    box.exec();
    m_open = false;
}
