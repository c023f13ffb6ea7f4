// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class ReplyStore;
class SettingsFields;
struct FirmwareForms;

// The line of an update step, 1 to 9, built from the panel as it is now, CR LF included,
// in the forms of the module's firmware (the forms of 2.x when none is given).
QString UpdateLine(int step, const SettingsFields &fields);
QString UpdateLine(int step, const SettingsFields &fields, const FirmwareForms &forms);

// The caption of the panel row that step 1 to 9 writes.
QString UpdateCaption(int step, const SettingsFields &fields);

// An update reply is complete when it holds "OK" or "ERROR"; a complete reply empties
// the buffer. Only a word that ends at or after `from` is looked for, so a chunk costs
// its own length, not the buffer's.
bool UpdateReplyComplete(ReplyStore &reply, qsizetype from = 0);
