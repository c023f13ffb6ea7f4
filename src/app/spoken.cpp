// SPDX-License-Identifier: GPL-3.0-or-later
#include "spoken.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// A notification is what its widget says of itself (its name, or a window's title, and the
// labels inside it); only the role differs from the widget's own, for the role is what
// makes a screen reader speak it when it appears.
QAccessibleInterface *SpokenFactory(const QString &className, QObject *object)
{
    if ((className == QLatin1String("NoticeWindow") || className == QLatin1String("Announcer"))
        && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    return nullptr;
}

void InstallSpokenAccessible()
{
    static const bool installed = (QAccessible::installFactory(SpokenFactory), true);
    Q_UNUSED(installed);
}

} // namespace

NoticeWindow::NoticeWindow(
    Icon icon, const QString &title, const QString &text, StandardButtons buttons, QWidget *parent)
    : QMessageBox(icon, title, text, buttons, parent)
{
    InstallSpokenAccessible();
}

Announcer::Announcer(QWidget *parent)
    : QWidget(parent)
{
    InstallSpokenAccessible();
    setObjectName(QStringLiteral("Announcer"));
    setFocusPolicy(Qt::NoFocus);
    setGeometry(0, 0, 0, 0);
}

void Announcer::Say(const QString &text)
{
    setAccessibleName(text);
    if (text.isEmpty() || !QAccessible::isActive())
        return;
    // Shown again, as far as a screen reader is told: it speaks a notification that appears.
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}
