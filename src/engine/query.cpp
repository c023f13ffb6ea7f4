#include "query.h"

#include "optiongroups.h"
#include "seams.h"

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
    const char *keyword; // case-sensitive substring of the reply
    std::variant<int, const OptionGroup *> target;
};

// Tested in this order against every complete reply.
const std::array<ReplyField, 13> ReplyFieldTable = { {
    { "+NAME:", 0 },
    { "VERSION", 1 },
    { "ADDR", 2 },
    { "ROLE", &RoleGroup },
    { "CLASS", 3 },
    { "PSWD", 4 },
    { "IAC", 5 },
    { "CMOD", &ConnectionModeGroup },
    { "BIND", 7 },
    { "INQM", 8 },
    { "STATE", 9 },
    { "UART", 10 },
    { "MRAD", 11 },
} };

bool OkAt(const QString &text, qsizetype pos)
{
    return QStringView(text).sliced(pos).startsWith(Ok);
}

// Removes the "OK" that begins a line; letters O K inside a value stay.
void RemoveLineStartOks(QString &text)
{
    QString kept;
    kept.reserve(text.size());
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), lineStart);
        end = end < 0 ? text.size() : end + 1;
        const qsizetype from = OkAt(text, lineStart) ? lineStart + Ok.size() : lineStart;
        kept += QStringView(text).sliced(from, end - from);
        lineStart = end;
    }
    text = kept;
}

} // namespace

QString QueryLine(int step)
{
    if (step < 1 || step > int(QueryTable.size()))
        return QStringLiteral("\r\n");
    return QString::fromLatin1(QueryTable[step - 1]) + QStringLiteral("\r\n");
}

bool QueryReplyComplete(const QString &replyBuffer)
{
    return replyBuffer.startsWith(Ok) || replyBuffer.contains(QStringLiteral("\nOK"));
}

QString ExtractValue(const QString &replyBuffer)
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

    const QStringView span = QStringView(replyBuffer).sliced(from, to - from);
    for (const QStringView line : span.tokenize(QLatin1Char('\n'), Qt::SkipEmptyParts))
        return line.toString();
    return QString();
}

void ConsumeQueryReply(QString &replyBuffer, SettingsFields &fields)
{
    RemoveLineStartOks(replyBuffer);
    for (const ReplyField &row : ReplyFieldTable) {
        if (!replyBuffer.contains(QLatin1String(row.keyword)))
            continue;
        const QString value = ExtractValue(replyBuffer);
        if (const int *index = std::get_if<int>(&row.target))
            fields.SetText1(*index, value);
        else
            ApplyGroupValue(*std::get<const OptionGroup *>(row.target), value, fields);
    }
    replyBuffer.clear();
}
