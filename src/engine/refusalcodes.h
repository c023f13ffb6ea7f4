// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// A module of this family says why it refuses a command: "ERROR:(1D)" carries a
// hexadecimal code with a documented meaning. The meanings are one table, translated.

// The meaning of the first refusal code in `text` ("设备名称为空" for "ERROR:(4)") in the
// window's language; empty when the text holds no code, or one the table does not know.
QString RefusalMeaning(QStringView text);

// The refusal code in `text` as the module wrote it ("ERROR:(1D)"), empty when none.
QStringView RefusalCode(QStringView text);
