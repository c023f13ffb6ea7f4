// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "firmware.h"

#include <QString>
#include <QStringView>

#include <array>

class ReplyStore;
class SettingsFields;

// The command of each query step, 1 to 14 (index 0 is step 1).
extern const std::array<const char *, 14> QueryTable;
// The steps whose command or reply the firmware changes.
inline constexpr int VersionStep = 2; // "AT+VERSION?"
inline constexpr int ConnectionModeStep = 11; // "AT+CMODE"
// The boxes (Text1 indexes) the query fills with what identifies the module.
inline constexpr int VersionIndex = 1;
inline constexpr int AddressIndex = 2;

// The command of the step followed by CR LF, in the forms of the module's firmware
// (the forms of 2.x when none is given).
QString QueryLine(int step, const FirmwareForms &forms = FormsFor({}));

// A query reply is complete once a line of it begins with "OK" (ReplyStore::BeginsLine).
// Only an "OK" that ends at or after `from` is looked for, so a chunk costs its own
// length, not the buffer's.
bool QueryReplyComplete(const ReplyStore &reply, qsizetype from = 0);

// Takes the values of a complete reply into the panel and empties the buffer. The "OK"s
// that begin a line are removed first; letters O K in a value stay. A setting is read
// from the line that names it ("+ADDR:…" at the start of a line), never from a keyword
// inside another value. A PIN loses the quotes firmware 3.0 puts around it.
void ConsumeQueryReply(ReplyStore &reply, SettingsFields &fields);

// The value after the buffer's first ":" (or its start, without a colon): the first
// line of the at most 20 characters there, empty when that line is.
QString ExtractValue(QStringView replyBuffer);
