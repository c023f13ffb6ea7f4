// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "firmware.h"

#include <QString>
#include <QStringList>

#include <optional>

class SettingsFields;

// What a value must be before it goes to the module. A setting's value becomes one command
// line, so no box ever holds a control character (U+0000-U+001F, U+007F-U+009F): a line
// break inside a value would be a second command. And each writable setting is checked
// against what the module's firmware takes, so that a value it would refuse is mended before
// anything is written. Each function costs a pass over the values it is given.

bool IsControlCharacter(QChar c);
bool HoldsControlCharacter(QStringView text);
// The text with each control character shown as U+FFFD, as the console shows bytes that are
// no text: what a module answered stays visible without becoming a command.
QString ControlsReplaced(QString text);
// A pasted text as a box takes it: without the one line end a spreadsheet cell carries at
// its end; nothing when another control character remains.
std::optional<QString> PastedValue(QString text);

// What is wrong with the value of update step `step` for a module of these forms, in a few
// words ("最多 32 字节，现在 34 字节"); empty when the module takes it. An empty value is
// not judged here: the update's guard asks about empty settings on its own.
QString ValueProblem(int step, const QString &value, const FirmwareForms &forms);
// Each writable setting of the panel that the module would not take, a line each:
// "设备名称：最多 32 字节，现在 34 字节".
QStringList ValueProblems(const SettingsFields &fields, const FirmwareForms &forms);

// Whether a command line is one line: CR, LF and NUL only at its end.
bool IsOneLine(QStringView line);
