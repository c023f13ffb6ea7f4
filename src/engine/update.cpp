// SPDX-License-Identifier: GPL-3.0-or-later
#include "update.h"

#include "firmware.h"
#include "optiongroups.h"
#include "replystore.h"
#include "seams.h"
#include "settingcheck.h"

#include <QCoreApplication>

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

const UpdateStep *Row(int step)
{
    return step >= 1 && step <= int(UpdateTable.size()) ? &UpdateTable[step - 1] : nullptr;
}

// The command the step writes its value after: the group's or the row's.
QString Command(const UpdateStep &row)
{
    return QString::fromLatin1(row.group ? row.group->command : row.command);
}

// The option of the group that stands for `value`, 0 for none.
int OptionFor(const OptionGroup &group, const QString &value)
{
    for (const auto &[option, written] : group.writeOrder()) {
        if (value == QString::number(written))
            return option;
    }
    return 0;
}

} // namespace

QString UpdateLine(int step, const SettingsFields &fields, const FirmwareForms &forms)
{
    const UpdateStep *row = Row(step);
    if (!row)
        return QStringLiteral("\r\n");
    return Command(*row) + WrittenValue(step, SettingValue(step, fields), forms)
        + QStringLiteral("\r\n");
}

QString SettingWord(int step)
{
    const UpdateStep *row = Row(step);
    if (!row)
        return QString();
    return Command(*row).mid(3).chopped(1); // "AT+NAME=" -> "NAME"
}

int SettingStep(QStringView word)
{
    for (int step = 1; step <= int(UpdateTable.size()); ++step) {
        if (SettingWord(step) == word)
            return step;
    }
    return 0;
}

int SettingText1Index(int step)
{
    const UpdateStep *row = Row(step);
    return row ? row->text1Index : -1;
}

int SettingOption(int step)
{
    const UpdateStep *row = Row(step);
    return row && row->group ? row->group->optionForOne : 0;
}

int StepOfText1(int index)
{
    for (int step = 1; step <= int(UpdateTable.size()); ++step) {
        if (index >= 0 && UpdateTable[step - 1].text1Index == index)
            return step;
    }
    return 0;
}

int StepOfOption(int number)
{
    for (int step = 1; step <= int(UpdateTable.size()); ++step) {
        const OptionGroup *group = UpdateTable[step - 1].group;
        if (!group)
            continue;
        for (const auto &[option, written] : group->writeOrder()) {
            if (option == number)
                return step;
        }
    }
    return 0;
}

QString SettingValue(int step, const SettingsFields &fields)
{
    const UpdateStep *row = Row(step);
    if (!row)
        return QString();
    if (!row->group)
        return fields.Text1(row->text1Index);
    for (const auto &[option, written] : row->group->writeOrder()) {
        if (fields.Option(option))
            return QString::number(written);
    }
    return QString();
}

bool SettingHolds(int step, const QString &value)
{
    const UpdateStep *row = Row(step);
    if (!row)
        return false;
    if (!row->group)
        return !HoldsControlCharacter(value); // a line break would be a second command
    return value.isEmpty() || OptionFor(*row->group, value) != 0;
}

bool SetSettingValue(int step, const QString &value, SettingsFields &fields)
{
    if (!SettingHolds(step, value))
        return false;
    const UpdateStep &row = *Row(step);
    if (!row.group) {
        fields.SetText1(row.text1Index, value);
        return true;
    }
    SelectOption(*row.group, OptionFor(*row.group, value), fields);
    return true;
}

QString WrittenValue(int step, const QString &value, const FirmwareForms &forms)
{
    const UpdateStep *row = Row(step);
    if (!row)
        return value;
    if (row->group && value.isEmpty())
        return QString::number(UnselectedGroupValue);
    QString written = value;
    if (row->colonsToCommas)
        written.replace(QLatin1Char(':'), QLatin1Char(','));
    if (row->pin)
        written = PinToWrite(written, forms);
    return written;
}

QString ShownValue(int step, const QString &value, const SettingsFields &fields)
{
    const UpdateStep *row = Row(step);
    if (!row || !row->group)
        return value.isEmpty() ? QCoreApplication::translate("Update", "（空）") : value;
    if (const int option = OptionFor(*row->group, value))
        return fields.OptionCaption(option);
    return QCoreApplication::translate("Update", "未选择");
}

QString UpdateCaption(int step, const SettingsFields &fields)
{
    const UpdateStep *row = Row(step);
    if (!row)
        return QString();
    return row->group ? fields.GroupCaption(row->group->optionForOne)
                      : fields.Text1Caption(row->text1Index);
}

QString SettingName(int step, const SettingsFields &fields)
{
    QString caption = UpdateCaption(step, fields);
    while (caption.endsWith(QChar(0xFF1A)) || caption.endsWith(QLatin1Char(':'))
           || caption.endsWith(QLatin1Char(' ')))
        caption.chop(1);
    return caption;
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
