// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

#include "common/warningbox.h"

// The few places where the engine touches the window. Tests replace each with a fake.

class ConsoleSink
{
public:
    virtual ~ConsoleSink() = default;
    // Appends at the end of the console in Arial 10 pt and the given colour, as plain text.
    // `bytes` are exactly what went out or came in on the line for it, which the console can
    // show as they were; received bytes may run ahead of their text by a character that a
    // later read completes, and then come with no text at all.
    virtual void AppendToConsole(const QString &text, QColor colour, const QByteArray &bytes) = 0;
};

// The settings panel's fields: Text1 by index (0-5, 7-11), options by number (1-6).
class SettingsFields
{
public:
    virtual ~SettingsFields() = default;
    virtual QString Text1(int index) const = 0;
    virtual void SetText1(int index, const QString &text) = 0;
    virtual bool Option(int number) const = 0;
    // Turning an option on turns the other two of its group off.
    virtual void SetOption(int number, bool on) = 0;
    // The caption of the panel's row that holds Text1(index), or the group of option
    // `number`, as the operator reads it there ("设备名称：").
    virtual QString Text1Caption(int index) const = 0;
    virtual QString GroupCaption(int number) const = 0;
    // The caption of option `number` itself ("主角色").
    virtual QString OptionCaption(int number) const = 0;
};
