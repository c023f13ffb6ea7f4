// SPDX-License-Identifier: GPL-3.0-or-later
#include "spoken.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QEvent>
#include <QFontMetrics>

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

int NoticeWindow::TitleWidth() const
{
    // The platform puts the program's name after a window's own title.
    QString title = windowTitle();
    const QString name = QGuiApplication::applicationDisplayName();
    if (!name.isEmpty() && !title.endsWith(name))
        title += (title.isEmpty() ? QString() : QStringLiteral(" \u2014 ")) + name;
    // Title bars often draw in bold; the icon and three buttons take a line and a half each.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(title) + 8 * metrics.height();
}

bool NoticeWindow::event(QEvent *event)
{
    // The message box fixes its size for its texts and its own title whenever it lays itself
    // out, without the name the platform adds: the title bar would cut the title short.
    const bool handled = QMessageBox::event(event);
    if ((event->type() == QEvent::Show || event->type() == QEvent::LayoutRequest)
        && width() < TitleWidth())
        setFixedWidth(TitleWidth());
    if (event->type() == QEvent::Show && m_place)
        m_place(this);
    return handled;
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
