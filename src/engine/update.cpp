// SPDX-License-Identifier: GPL-3.0-or-later
#include "update.h"

#include "firmware.h"
#include "optiongroups.h"
#include "replystore.h"
#include "seams.h"

#include <algorithm>
#include <array>

namespace {

// One step of the update: a text box written after a command, or an option group.
struct UpdateStep
{
    const char *command = nullptr;
    int text1Index = -1;
    const OptionGroup *group = nullptr;
    bool colonsToCommas = false; // the module reads the bind address back with colons
    bool pin = false; // in quotes for firmware that wants them
};

const std::array<UpdateStep, 9> UpdateTable = { {
    { "AT+NAME=", 0 },
    { nullptr, -1, &RoleGroup },
    { "AT+CLASS=", 3 },
    { "AT+PSWD=", 4, nullptr, false, true },
    { "AT+IAC=", 5 },
    { nullptr, -1, &ConnectionModeGroup },
    { "AT+BIND=", 7, nullptr, true },
    { "AT+INQM=", 8 },
    { "AT+UART=", 10 },
} };

} // namespace

QString UpdateLine(int step, const SettingsFields &fields)
{
    return UpdateLine(step, fields, FormsFor(QStringView()));
}

QString UpdateLine(int step, const SettingsFields &fields, const FirmwareForms &forms)
{
    if (step < 1 || step > int(UpdateTable.size()))
        return QStringLiteral("\r\n");
    const UpdateStep &row = UpdateTable[step - 1];
    QString line;
    if (row.group) {
        line = QString::fromLatin1(row.group->command)
            + QString::number(GroupValue(*row.group, fields));
    } else {
        QString text = fields.Text1(row.text1Index);
        if (row.colonsToCommas)
            text.replace(QLatin1Char(':'), QLatin1Char(','));
        if (row.pin)
            text = PinToWrite(text, forms);
        line = QString::fromLatin1(row.command) + text;
    }
    return line + QStringLiteral("\r\n");
}

QString UpdateCaption(int step, const SettingsFields &fields)
{
    if (step < 1 || step > int(UpdateTable.size()))
        return QString();
    const UpdateStep &row = UpdateTable[step - 1];
    return row.group ? fields.GroupCaption(row.group->optionForOne)
                     : fields.Text1Caption(row.text1Index);
}

bool UpdateReplyComplete(ReplyStore &reply, qsizetype from)
{
    const auto holds = [&](QStringView word) {
        return reply.Text().indexOf(word, std::max<qsizetype>(0, from - word.size() + 1)) >= 0;
    };
    if (!holds(u"ERROR") && !holds(u"OK"))
        return false;
    reply.Clear();
    return true;
}
