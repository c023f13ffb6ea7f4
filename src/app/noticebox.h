// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/notice.h"

#include <QMessageBox>
#include <QPointer>

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

private:
    QWidget *m_parent;
    QPointer<QMessageBox> m_box;
};
