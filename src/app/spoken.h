// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QWidget>

#include <functional>

// What a screen reader says by itself, without the keyboard focus moving: objects of the
// notification role, which screen readers speak whole as soon as they are shown. Nothing is
// sent unless an assistive technology listens.

// The box of a notice: shown beside the window without taking the keyboard, and spoken
// when it appears, its title and then its texts. It is wide enough for its whole title.
class NoticeWindow : public QMessageBox
{
    Q_OBJECT

public:
    NoticeWindow(Icon icon,
                 const QString &title,
                 const QString &text,
                 StandardButtons buttons,
                 QWidget *parent);

    // The width its title bar needs for the title as the desktop shows it, the program's
    // name after it, beside the bar's icon and buttons.
    int TitleWidth() const;
    // Runs when it is shown, its size known, before the desktop places it: a position set
    // then is where the desktop puts it.
    void SetPlacer(std::function<void(QWidget *)> place) { m_place = std::move(place); }

protected:
    bool event(QEvent *event) override;

private:
    std::function<void(QWidget *)> m_place;
};

// Says a short text (the port opened or lost, the reply to a typed command) and shows
// nothing: the text is its accessible name, announced as a notification each time.
class Announcer : public QWidget
{
    Q_OBJECT

public:
    explicit Announcer(QWidget *parent);
    void Say(const QString &text);
    // What was said last, for tests.
    QString Said() const { return accessibleName(); }
};
