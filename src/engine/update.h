// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "firmware.h"

#include <QString>

class ReplyStore;
class SettingsFields;

// The line of an update step, 1 to 9, built from the panel as it is now, CR LF included,
// in the forms of the module's firmware (the forms of 2.x when none is given).
QString
UpdateLine(int step, const SettingsFields &fields, const FirmwareForms &forms = FormsFor({}));

// The caption of the panel row that step 1 to 9 writes.
QString UpdateCaption(int step, const SettingsFields &fields);

// The setting of step 1 to 9 by its caption without the colon that ends it ("设备类").
QString SettingName(int step, const SettingsFields &fields);

// The nine writable settings, by the step that writes them (1 to 9). A setting's value
// has one form outside the module: a box's text as it is, or for an option group the
// number its selected option stands for ("0", "1", "2"), empty when none is selected.

// The command word of the setting: "NAME", "ROLE" ... "UART"; and the step of a word,
// 0 for none.
QString SettingWord(int step);
int SettingStep(QStringView word);
// The Text1 index of the setting's box, -1 for an option group; and an option of the
// setting's group, 0 for a box.
int SettingText1Index(int step);
int SettingOption(int step);
// The step of the setting that Text1(index) or option `number` holds, 0 for none.
int StepOfText1(int index);
int StepOfOption(int number);
QString SettingValue(int step, const SettingsFields &fields);
// Whether the panel can hold the value: a box any text without a control character, a
// group the values above.
bool SettingHolds(int step, const QString &value);
// Puts a value into the panel; false, touching nothing, when the panel cannot hold it.
bool SetSettingValue(int step, const QString &value, SettingsFields &fields);
// The value as the update writes it after "=": the bind address with commas for its
// colons, 0 for a group with no option selected, the PIN in the firmware's form (2.x's
// when none is given).
QString WrittenValue(int step, const QString &value, const FirmwareForms &forms = FormsFor({}));
// The value as the module holds it, to tell whether what it answers is what was written:
// the written value without the spaces that end it, and numbers in one form (hex in small
// letters, no leading zeros, an address's parts between commas, none of the spaces
// around a comma).
QString ReadBackForm(int step, const QString &value);
// The value as the operator reads it: a group's by the caption of its option; an empty
// one says so.
QString ShownValue(int step, const QString &value, const SettingsFields &fields);

// An update reply is complete when it holds "OK" or "ERROR"; a complete reply empties
// the buffer. Only a word that ends at or after `from` is looked for, so a chunk costs
// its own length, not the buffer's.
bool UpdateReplyComplete(ReplyStore &reply, qsizetype from = 0);
