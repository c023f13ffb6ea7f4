// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "warningbox.h"

#include <QString>

#include <functional>

// Whether a notice tells of trouble (shown with the warning icon) or of news that asks
// for no repair: a result, a finding, progress (the information icon).
enum class NoticeTone { Trouble, News };

// What a notice says: a title ("提示"), its text, the details below it, and optionally a
// button of its own (its caption in `action`) that runs `onAction`. A fleeting notice
// closes by itself after FleetingMs, or at the operator's next click. With `actionOnly` the
// action's button is the notice's only one ("取消" of a job that runs), and closing the
// notice by Escape or its title bar presses it too.
struct NoticeContent
{
    static constexpr int FleetingMs = 3000;

    QString title;
    QString text;
    QString informative;
    QString action;
    std::function<void()> onAction;
    NoticeTone tone = NoticeTone::Trouble;
    bool fleeting = false;
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
