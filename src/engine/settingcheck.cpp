// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingcheck.h"

#include "enginestate.h"
#include "seams.h"
#include "update.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cctype>

namespace {

// The rates the module's data mode takes after "AT+UART=".
constexpr std::array<int, 10> ModuleRates
    = { 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 1382400 };

bool IsHex(QStringView text, int longest)
{
    return !text.isEmpty() && text.size() <= longest
        && std::all_of(text.begin(), text.end(),
                       [](QChar c) { return isxdigit(c.unicode()) && c.unicode() < 0x80; });
}

// A whole number within [least, most], digits only.
bool IsNumberIn(QStringView text, long least, long most)
{
    if (text.isEmpty() || text.size() > 9
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    const long number = text.toLong();
    return number >= least && number <= most;
}

QString NameProblem(const QString &value, const FirmwareForms &forms)
{
    const qsizetype bytes = value.toUtf8().size();
    if (bytes <= forms.longestName)
        return QString();
    return QCoreApplication::translate("SettingCheck", "最多 %1 字节，现在 %2 字节")
        .arg(forms.longestName)
        .arg(bytes);
}

QString PinProblem(QString value, const FirmwareForms &forms)
{
    // Firmware that wants quotes gets them from the update; typed ones are taken as such.
    if (forms.quotedPin)
        value = WithoutQuotes(value);
    const bool plain = std::all_of(value.begin(), value.end(), [](QChar c) {
        return c.unicode() < 0x80 && isalnum(c.unicode());
    });
    if (!plain)
        return QCoreApplication::translate("SettingCheck", "只能是字母和数字");
    if (value.size() > forms.longestPin)
        return QCoreApplication::translate("SettingCheck", "最多 %1 个字符，现在 %2 个")
            .arg(forms.longestPin)
            .arg(value.size());
    return QString();
}

QString InquiryModeProblem(QStringView value)
{
    // Mode (0 standard, 1 with signal strength), most devices, longest time in 1.28 s.
    const QList<QStringView> parts = value.split(u',');
    if (parts.size() != 3 || !IsNumberIn(parts[0], 0, 1) || !IsNumberIn(parts[1], 1, 32767)
        || !IsNumberIn(parts[2], 1, 48))
        return QCoreApplication::translate(
            "SettingCheck", "应为三个数：模式 0 或 1，最多设备数 1-32767，超时 1-48，如 1,1,48");
    return QString();
}

QString UartProblem(QStringView value)
{
    const QList<QStringView> parts = value.split(u',');
    const bool known = parts.size() == 3 && IsNumberIn(parts[0], 1, 99999999)
        && std::find(ModuleRates.begin(), ModuleRates.end(), parts[0].toInt()) != ModuleRates.end();
    if (!known || !IsNumberIn(parts[1], 0, 1) || !IsNumberIn(parts[2], 0, 2)) {
        QStringList rates;
        for (int rate : ModuleRates)
            rates << QString::number(rate);
        return QCoreApplication::translate(
                   "SettingCheck",
                   "应为“波特率,停止位,校验位”，波特率为 %1 之一，停止位 0 或 1，校验位 0、1 或 2")
            .arg(rates.join(QLatin1Char('/')));
    }
    return QString();
}

QString BindProblem(const QString &value)
{
    // Typed with colons, as the module reads it back, or with the commas it is written with.
    const QString written = WrittenValue(SettingStep(u"BIND"), value);
    const QList<QStringView> parts = QStringView(written).split(u',');
    if (parts.size() != 3 || !IsHex(parts[0], 4) || !IsHex(parts[1], 2) || !IsHex(parts[2], 6))
        return QCoreApplication::translate("SettingCheck", "应为三段十六进制数，如 98d3:31:fd5e6f");
    return QString();
}

} // namespace

bool IsControlCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

bool HoldsControlCharacter(QStringView text)
{
    return std::any_of(text.begin(), text.end(), IsControlCharacter);
}

QString ControlsReplaced(QString text)
{
    for (QChar &c : text) {
        if (IsControlCharacter(c))
            c = QChar::ReplacementCharacter;
    }
    return text;
}

std::optional<QString> PastedValue(QString text)
{
    if (text.endsWith(u"\r\n"))
        text.chop(2);
    else if (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    if (HoldsControlCharacter(text))
        return std::nullopt;
    return text;
}

QString ValueProblem(int step, const QString &value, const FirmwareForms &forms)
{
    if (value.isEmpty())
        return QString();
    if (HoldsControlCharacter(value))
        return QCoreApplication::translate("SettingCheck", "含有换行或其他控制字符");
    const QString word = SettingWord(step);
    if (word == u"NAME")
        return NameProblem(value, forms);
    if (word == u"PSWD")
        return PinProblem(value, forms);
    if (word == u"CLASS")
        return IsHex(value, 8)
            ? QString()
            : QCoreApplication::translate("SettingCheck", "应为十六进制数，最多 8 位，如 1f00");
    if (word == u"IAC")
        return IsHex(value, 6)
            ? QString()
            : QCoreApplication::translate("SettingCheck", "应为十六进制数，最多 6 位，如 9e8b33");
    if (word == u"INQM")
        return InquiryModeProblem(value);
    if (word == u"UART")
        return UartProblem(value);
    if (word == u"BIND")
        return BindProblem(value);
    return QString(); // a group holds only what the module takes
}

QStringList ValueProblems(const SettingsFields &fields, const FirmwareForms &forms)
{
    QStringList problems;
    for (int step = 1; step <= UpdateSteps; ++step) {
        const QString problem = ValueProblem(step, SettingValue(step, fields), forms);
        if (!problem.isEmpty())
            problems << QCoreApplication::translate("SettingCheck", "%1：%2")
                            .arg(SettingName(step, fields), problem);
    }
    return problems;
}

bool IsOneLine(QStringView line)
{
    qsizetype end = line.size();
    while (end > 0 && (line[end - 1] == u'\r' || line[end - 1] == u'\n'))
        --end;
    return !line.first(end).contains(u'\r') && !line.first(end).contains(u'\n')
        && !line.contains(QChar(0));
}
