// SPDX-License-Identifier: GPL-3.0-or-later
#include "noticekeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>

namespace {

bool PressesButton(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space
        || key == Qt::Key_Select;
}

} // namespace

NoticeKeys::NoticeKeys(QWidget *window,
                       QList<QAbstractButton *> startButtons,
                       std::function<bool()> shown,
                       std::function<void()> dismiss)
    : m_window(window)
    , m_startButtons(std::move(startButtons))
    , m_shown(std::move(shown))
    , m_dismiss(std::move(dismiss))
{
    // Before the focused control sees the key: a box or a list would take Escape itself.
    qApp->installEventFilter(this);
}

NoticeKeys::~NoticeKeys()
{
    qApp->removeEventFilter(this);
}

bool NoticeKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    const auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != m_window)
        return false; // the notice itself, a menu, a dialog: their keys are their own
    const auto *key = static_cast<QKeyEvent *>(event);
    if (type == QEvent::KeyRelease) {
        if (key->key() == m_held && !key->isAutoRepeat())
            m_held = 0;
        return false;
    }
    if (key->isAutoRepeat() && key->key() == m_held)
        return true;
    const bool onStart = PressesButton(key->key())
        && m_startButtons.contains(qobject_cast<QAbstractButton *>(watched));
    if ((key->key() != Qt::Key_Escape && !onStart) || !m_shown())
        return false;
    m_held = key->key();
    m_dismiss();
    return true;
}
