// SPDX-License-Identifier: GPL-3.0-or-later
#include "query.h"

#include "firmware.h"
#include "optiongroups.h"
#include "replystore.h"
#include "seams.h"
#include "settingcheck.h"

#include <algorithm>
#include <variant>

const std::array<const char *, 14> QueryTable = {
    "AT",        "AT+VERSION?", "AT+ADDR?",  "AT+NAME?", "AT+ROLE?",
    "AT+CLASS?", "AT+IAC?",     "AT+INQM?",  "AT+PSWD?", "AT+UART?",
    "AT+CMODE", // the module takes this one without a question mark
    "AT+BIND?",  "AT+MRAD?",    "AT+STATE?",
};

namespace {

const QString Ok = QStringLiteral("OK");
constexpr int ValueLength = 20;

// Where a recognised keyword's value goes: a Text1 box or an option group.
struct ReplyField
{
    const char *keyword; // case-sensitive; where a line of the reply begins with it (NamingLine)
    std::variant<int, const OptionGroup *> target;
    bool unquoted = false; // the PIN, which firmware 3.0 sends in quotes
};

// Tested in this order against every complete reply.
const std::array<ReplyField, 14> ReplyFieldTable = { {
    { "+NAME:", 0 },
    { "VERSION", VersionIndex },
    { "ADDR", AddressIndex },
    { "ROLE", &RoleGroup },
    { "CLASS", 3 },
    { "PSWD", 4, true },
    { "+PIN:", 4, true }, // firmware 3.0's answer to AT+PSWD?
    { "IAC", 5 },
    { "CMOD", &ConnectionModeGroup },
    { "BIND", 7 },
    { "INQM", 8 },
    { "STATE", 9 },
    { "UART", 10 },
    { "MRAD", 11 },
} };

// The first "OK" at or after `from` that begins a line, or -1.
qsizetype LineStartOk(const ReplyStore &reply, qsizetype from)
{
    const QString &text = reply.Text();
    for (qsizetype pos = text.indexOf(Ok, from); pos >= 0; pos = text.indexOf(Ok, pos + 1)) {
        if (reply.BeginsLine(pos))
            return pos;
    }
    return -1;
}

// A complete reply without the "OK"s that begin its lines, and where its lines begin: at
// its start (unless the store cut a line there), after each line feed, and where the
// sequence began.
struct Stripped
{
    QString text;
    bool headBeginsLine;
    qsizetype sequenceStart; // -1 once cut away

    bool BeginsLine(qsizetype pos) const
    {
        return pos == sequenceStart || (pos == 0 ? headBeginsLine : text.at(pos - 1) == u'\n');
    }
};

Stripped WithoutLineStartOks(const ReplyStore &reply)
{
    const QStringView text = reply.Text();
    Stripped stripped { {}, reply.BeginsLine(0), reply.Start() };
    stripped.text.reserve(text.size());
    qsizetype copied = 0;
    for (qsizetype pos = LineStartOk(reply, 0); pos >= 0;
         pos = LineStartOk(reply, pos + Ok.size())) {
        stripped.text += text.sliced(copied, pos - copied);
        copied = pos + Ok.size();
        if (pos < reply.Start()) // what is removed before the sequence's start moves it
            stripped.sequenceStart -= std::min(reply.Start(), copied) - pos;
    }
    stripped.text += text.sliced(copied);
    return stripped;
}

// Where the reply names the row's setting: the start of the first line that begins with
// the keyword, a bare one after at most a "+", and goes on to its colon with capitals at
// most ("+CMODE:" of firmware 4.0 is the connection mode's); in a reply without a colon,
// a line that begins with the keyword. A keyword inside a value names nothing. -1 when
// no line does.
qsizetype NamingLine(const Stripped &reply, const ReplyField &row)
{
    const QLatin1String keyword(row.keyword);
    const bool whole = keyword.endsWith(u':'); // "+NAME:", with its plus and colon
    const QString &text = reply.text;
    const bool colonless = !text.contains(u':');
    for (qsizetype at = text.indexOf(keyword); at >= 0; at = text.indexOf(keyword, at + 1)) {
        qsizetype line = at;
        if (!whole && !reply.BeginsLine(line) && line > 0 && text.at(line - 1) == u'+')
            --line;
        if (!reply.BeginsLine(line))
            continue;
        qsizetype end = at + keyword.size();
        while (end < text.size() && text.at(end) >= u'A' && text.at(end) <= u'Z')
            ++end;
        if (whole || colonless || (end < text.size() && text.at(end) == u':'))
            return line;
    }
    return -1;
}

} // namespace

QString QueryLine(int step, const FirmwareForms &forms)
{
    if (step < 1 || step > int(QueryTable.size()))
        return QStringLiteral("\r\n");
    const char *command = step == ConnectionModeStep && forms.connectionModeQuery
        ? forms.connectionModeQuery
        : QueryTable[step - 1];
    return QString::fromLatin1(command) + QStringLiteral("\r\n");
}

bool QueryReplyComplete(const ReplyStore &reply, qsizetype from)
{
    // An "OK" that ends in the new text may begin one character before it.
    return LineStartOk(reply, std::max<qsizetype>(0, from - 1)) >= 0;
}

QString ExtractValue(QStringView replyBuffer)
{
    const qsizetype colon = replyBuffer.indexOf(QLatin1Char(':'));
    const qsizetype from = colon < 0 ? 0 : colon + 1;

    // At most 20 characters; a character outside the BMP is not cut in half.
    qsizetype to = from;
    for (int count = 0; count < ValueLength && to < replyBuffer.size(); ++count) {
        const bool pair = replyBuffer.at(to).isHighSurrogate() && to + 1 < replyBuffer.size()
            && replyBuffer.at(to + 1).isLowSurrogate();
        to += pair ? 2 : 1;
    }

    const QStringView span = replyBuffer.sliced(from, to - from);
    const qsizetype lineEnd = span.indexOf(QLatin1Char('\n'));
    return (lineEnd < 0 ? span : span.first(lineEnd)).toString();
}

void ConsumeQueryReply(ReplyStore &reply, SettingsFields &fields)
{
    const Stripped replyBuffer = WithoutLineStartOks(reply);
    for (const ReplyField &row : ReplyFieldTable) {
        const qsizetype line = NamingLine(replyBuffer, row);
        if (line < 0)
            continue;
        const QString found = ExtractValue(QStringView(replyBuffer.text).sliced(line));
        const QString value = row.unquoted ? WithoutQuotes(found) : found;
        // Whatever the line carried, a box holds no control character.
        if (const int *index = std::get_if<int>(&row.target))
            fields.SetText1(*index, ControlsReplaced(value));
        else
            ApplyGroupValue(*std::get<const OptionGroup *>(row.target), value, fields);
    }
    reply.Clear();
}
