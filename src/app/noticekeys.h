// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QAbstractButton;
class QWidget;

// The keys meant for a notice. The notices take no keyboard, so while one is shown the
// keys still reach the window's controls. Escape, wherever the focus is in the window,
// dismisses it; so does the first Enter or Space on a button that starts a query or an
// update (and the repeats of that key while it is held), which would otherwise ask the
// module anew. A click on the button is aimed at it and still presses it.
//
// It looks at every key pressed in the program: a comparison or two each.
class NoticeKeys : public QObject
{
public:
    // `shown` tells whether anything is up that the keys dismiss; `dismiss` does it.
    NoticeKeys(QWidget *window,
               QList<QAbstractButton *> startButtons,
               std::function<bool()> shown,
               std::function<void()> dismiss);
    ~NoticeKeys() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    QList<QAbstractButton *> m_startButtons;
    std::function<bool()> m_shown;
    std::function<void()> m_dismiss;
    int m_held = 0; // the key that dismissed, until it is let go
};
