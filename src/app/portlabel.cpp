// SPDX-License-Identifier: GPL-3.0-or-later
#include "portlabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

PortLabel::PortLabel(QWidget *parent)
    : QLabel(parent)
{
    // Out of the Tab order, which stays as the window has always had it: the keyboard
    // reaches the same list through the window's menu (F10, 端口).
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::PointingHandCursor);
}

void PortLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        emit listRequested();
        return;
    }
    QLabel::mousePressEvent(event);
}

void PortLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
        emit listRequested();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}
