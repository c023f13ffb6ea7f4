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

// How the module reads a value: as text, or as numbers it may answer in another form.
enum class Reads {
    Text,
    Hex, // one hex number: case and leading zeros are the module's to choose
    HexParts, // an address: hex numbers between colons or commas
    Decimals, // decimal numbers between commas
};

// One step of the update: a text box written after a command, or an option group.
struct UpdateStep
{
    const char *command = nullptr;
    int text1Index = -1;
    const OptionGroup *group = nullptr;
    bool colonsToCommas = false; // the module reads the bind address back with colons
    bool pin = false; // in quotes for firmware that wants them
    Reads reads = Reads::Text;
};

const std::array<UpdateStep, 9> UpdateTable = { {
    { "AT+NAME=", 0 },
    { nullptr, -1, &RoleGroup },
    { "AT+CLASS=", 3, nullptr, false, false, Reads::Hex },
    { "AT+PSWD=", 4, nullptr, false, true },
    { "AT+IAC=", 5, nullptr, false, false, Reads::Hex },
    { nullptr, -1, &ConnectionModeGroup },
    { "AT+BIND=", 7, nullptr, true, false, Reads::HexParts },
    { "AT+INQM=", 8, nullptr, false, false, Reads::Decimals },
    { "AT+UART=", 10, nullptr, false, false, Reads::Decimals },
} };

// A number in the given base without its leading zeros, hex in small letters; anything
// that is not all digits of the base as it is.
QString NumberForm(const QString &part, int base)
{
    const auto isDigit = [base](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'0' && u <= u'9')
            || (base == 16 && ((u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')));
    };
    bool number = !part.isEmpty() && std::all_of(part.begin(), part.end(), isDigit);
    const qulonglong value = number ? part.toULongLong(&number, base) : 0;
    return number ? QString::number(value, base) : part;
}

// Each of the parts between commas in its number form, without spaces around it.
QString PartsForm(const QString &value, int base)
{
    QStringList parts = value.split(QLatin1Char(','));
    for (QString &part : parts)
        part = NumberForm(part.trimmed(), base);
    return parts.join(QLatin1Char(','));
}

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

QString ReadBackForm(int step, const QString &value)
{
    const UpdateStep *row = Row(step);
    // The module takes a command line without the spaces that end it.
    QString written = WrittenValue(step, value);
    while (written.endsWith(QLatin1Char(' ')))
        written.chop(1);
    if (!row)
        return written;
    switch (row->reads) {
    case Reads::Text:
        break;
    case Reads::Hex:
        return NumberForm(written.trimmed(), 16);
    case Reads::HexParts:
        return PartsForm(written.replace(QLatin1Char(':'), QLatin1Char(',')), 16);
    case Reads::Decimals:
        return PartsForm(written, 10);
    }
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
