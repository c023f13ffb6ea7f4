// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "warningbox.h"

#include <QString>

#include <functional>

// What a notice says: a title ("提示"), its text, the details below it, and optionally a
// button of its own (its caption in `action`) that runs `onAction`. With `actionOnly` that
// button is the notice's only one ("取消" of a job that runs), and closing the notice by
// Escape or its title bar presses it too.
struct NoticeContent
{
    QString title;
    QString text;
    QString informative;
    QString action;
    std::function<void()> onAction;
    bool actionOnly = false;
};

// A box beside the window that neither blocks it nor takes the keyboard: the operator
// reads it while working on, and closes it, or its owner closes it once what it says no
// longer holds. Tests replace it with a recorder.
class Notice
{
public:
    virtual ~Notice() = default;
    // Shows the notice in place of the one this object showed before, if still open.
    virtual void Show(const NoticeContent &content) = 0;
    virtual void Close() = 0;
    virtual bool IsShown() const = 0;
};
