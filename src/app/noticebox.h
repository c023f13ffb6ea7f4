// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/notice.h"

#include <QMessageBox>
#include <QPointer>
#include <QRect>

class QWidget;

// The window's notice: a message box with an OK button (or only the button of its action),
// the warning icon for trouble and the information icon for news, shown without a modal
// loop and without taking the keyboard from the field being typed in, and spoken by a
// screen reader as it appears.
class NoticeBox : public Notice
{
public:
    explicit NoticeBox(QWidget *parent);
    ~NoticeBox() override;

    void Show(const NoticeContent &content) override;
    void Close() override;
    bool IsShown() const override;

    QMessageBox *Box() const { return m_box; } // the open box, for tests

    // Where a notice may lie without hiding a field: over `free` (the console), at its top
    // right; one wider spills past the window's edge to the left. Without it, the box is
    // centred over the window.
    void SetFreeArea(const QWidget *free) { m_free = free; }

private:
    QWidget *m_parent;
    QPointer<QMessageBox> m_box;
    QPointer<const QWidget> m_free;
};

// Where a box whose frame is `size` goes: see SetFreeArea; `free` and `window` (the
// window's frame) in the coordinates of `screen`, its available area. Where the screen
// leaves no such place, the box goes to the right of the window, else over the free area
// as far as the screen allows.
QPoint NoticePlace(QSize size, const QRect &free, const QRect &window, const QRect &screen);
