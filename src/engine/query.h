#pragma once

#include <QString>

#include <array>

class SettingsFields;

// The command of each query step, 1 to 14 (index 0 is step 1).
extern const std::array<const char *, 14> QueryTable;

// The command of the step followed by CR LF.
QString QueryLine(int step);

// A query reply is complete once a line of it begins with "OK".
bool QueryReplyComplete(const QString &replyBuffer);

// Takes the values of a complete reply into the panel and empties the buffer.
void ConsumeQueryReply(QString &replyBuffer, SettingsFields &fields);

// The value after the buffer's first ":" (or its start, without a colon): the first
// non-empty line of at most 20 characters.
QString ExtractValue(const QString &replyBuffer);
