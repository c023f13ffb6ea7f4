// SPDX-License-Identifier: GPL-3.0-or-later
#include "families.h"

#include "engine/query.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>

namespace {

// The family that ends a command by a pause of about a second: it reads nothing back
// but its version, and a rate is in force as soon as it is answered.
constexpr std::array<RateDigit, 12> PauseRates = { {
    { '1', 1200 },
    { '2', 2400 },
    { '3', 4800 },
    { '4', 9600 },
    { '5', 19200 },
    { '6', 38400 },
    { '7', 57600 },
    { '8', 115200 },
    { '9', 230400 },
    { 'A', 460800 },
    { 'B', 921600 },
    { 'C', 1382400 },
} };

const std::array<FamilySetting, 4> PauseSettings = { {
    { 0, VersionIndex, "AT+VERSION", { nullptr, nullptr }, nullptr, {} },
    { 1, -1, nullptr, {}, "AT+NAME", { "OKsetname", "OKname" }, FamilyValue::Text, 20 },
    { 4, -1, nullptr, {}, "AT+PIN", { "OKsetPIN", "OKsetpin" }, FamilyValue::Digits, 4 },
    { 9, -1, nullptr, {}, "AT+BAUD", { "OK", nullptr }, FamilyValue::Rate },
} };

// The family that answers "OK+…": it reads back what it sets, but takes the name, the
// role and the rate only at its next start.
constexpr std::array<RateDigit, 9> OkPlusRates = { {
    { '0', 9600 },
    { '1', 19200 },
    { '2', 38400 },
    { '3', 57600 },
    { '4', 115200 },
    { '5', 4800 },
    { '6', 2400 },
    { '7', 1200 },
    { '8', 230400 },
} };

const std::array<FamilySetting, 6> OkPlusSettings = { {
    { 0, VersionIndex, "AT+VERR?", { nullptr, nullptr }, nullptr, {} },
    { 0, AddressIndex, "AT+ADDR?", { "OK+ADDR:", "OK+LADD:" }, nullptr, {} },
    { 1,
      -1,
      "AT+NAME?",
      { "OK+NAME:", "OK+Get:" },
      "AT+NAME",
      { "OK+Set:", "OK+Get:" },
      FamilyValue::Text,
      12,
      544,
      true },
    { 2,
      -1,
      "AT+ROLE?",
      { "OK+Get:", "OK+ROLE:" },
      "AT+ROLE",
      { "OK+Set:", "OK+Get:" },
      FamilyValue::Role,
      0,
      0,
      true },
    { 4,
      -1,
      "AT+PASS?",
      { "OK+Get:", "OK+PASS:" },
      "AT+PASS",
      { "OK+Set:", "OK+Get:" },
      FamilyValue::Digits,
      6 },
    { 9,
      -1,
      "AT+BAUD?",
      { "OK+Get:", "OK+BAUD:" },
      "AT+BAUD",
      { "OK+Set:", "OK+Get:" },
      FamilyValue::Rate,
      0,
      0,
      true },
} };

const std::array<CommandFamily, 2> Families = { {
    { "pause",
      QT_TRANSLATE_NOOP("Families", "以停顿结束命令的一类"),
      "",
      { "AT+VERSION", nullptr },
      // It answers at the end of the second that began with the command.
      250,
      2500,
      100,
      nullptr,
      nullptr,
      true,
      false,
      PauseRates,
      PauseSettings },
    { "ok-plus",
      QT_TRANSLATE_NOOP("Families", "以“OK+”回答的一类"),
      "",
      { "AT+VERR?", "AT+VERS?" },
      150,
      1500,
      150,
      "AT+RESET",
      "OK+RESET",
      false,
      true,
      OkPlusRates,
      OkPlusSettings },
} };

const std::array<QLatin1String, 2> LinkNotices
    = { QLatin1String("OK+CONN"), QLatin1String("OK+LOST") };

} // namespace

std::span<const CommandFamily> OtherFamilies()
{
    return Families;
}

const CommandFamily *FamilyByKey(QStringView key)
{
    for (const CommandFamily &family : Families) {
        if (key == QLatin1String(family.key))
            return &family;
    }
    return nullptr;
}

const FamilySetting *FamilySettingOf(const CommandFamily &family, int step)
{
    for (const FamilySetting &row : family.settings) {
        if (step > 0 && row.step == step)
            return &row;
    }
    return nullptr;
}

const FamilySetting *FamilyBoxOf(const CommandFamily &family, int text1Index)
{
    for (const FamilySetting &row : family.settings) {
        if (row.step == 0 && row.text1Index == text1Index)
            return &row;
    }
    return nullptr;
}

RowUse FamilyRowUse(const CommandFamily *family, int step, int text1Index)
{
    if (step == 0)
        return !family || FamilyBoxOf(*family, text1Index) ? RowUse::ReadOnly : RowUse::Absent;
    if (!family)
        return RowUse::ReadWrite;
    const FamilySetting *row = FamilySettingOf(*family, step);
    if (!row)
        return RowUse::Absent;
    return row->query ? RowUse::ReadWrite : RowUse::WriteOnly;
}

QString WithoutLinkNotices(QStringView reply)
{
    QString text = reply.toString();
    for (const QLatin1String &notice : LinkNotices)
        text.remove(notice);
    return text;
}

const CommandFamily *FamilyOfAnswer(QStringView probe, QStringView answer)
{
    const QString text = WithoutLinkNotices(answer).trimmed();
    if (text.isEmpty())
        return nullptr;
    const CommandFamily *probed = nullptr;
    for (const CommandFamily &family : Families) {
        for (const char *query : family.versionQueries) {
            if (query && probe == QLatin1String(query))
                probed = &family;
        }
    }
    // The "OK+" family marks its answers, whatever was asked; its version answer often
    // has no mark, and then only its own probe tells it.
    if (text.startsWith(QLatin1String("OK+")))
        return FamilyByKey(u"ok-plus");
    // An answer to a probe must read as the module's text, not as the noise of a wrong rate.
    const bool readable = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x7F;
    });
    return readable ? probed : nullptr;
}

QString FamilyVersion(QStringView answer)
{
    static const QRegularExpression version(QStringLiteral("V\\d+(\\.\\d+)*"));
    const QString text = WithoutLinkNotices(answer).trimmed();
    const QRegularExpressionMatch match = version.match(text);
    return match.hasMatch() ? match.captured() : text;
}

int FirmwareNumber(QStringView version)
{
    QString digits;
    for (QChar c : version) {
        if (c.isDigit())
            digits += c;
        else if (!digits.isEmpty() && c != u'.')
            break;
    }
    return digits.toInt();
}

FamilyAnswer ReadFamilyAnswer(const std::array<const char *, 2> &marks, QStringView reply)
{
    const QString text = WithoutLinkNotices(reply).trimmed();
    QStringView value;
    bool found = !marks[0];
    if (found)
        value = text;
    for (const char *mark : marks) {
        if (mark && text.startsWith(QLatin1String(mark))) {
            value = QStringView(text).sliced(qsizetype(qstrlen(mark)));
            found = true;
            break;
        }
    }
    if (!found)
        return {};
    const qsizetype lineEnd = value.indexOf(u'\n');
    return { true, (lineEnd < 0 ? value : value.first(lineEnd)).trimmed().toString() };
}

int RateOfDigit(const CommandFamily &family, QChar digit)
{
    for (const RateDigit &row : family.rates) {
        if (digit == QLatin1Char(row.digit))
            return row.rate;
    }
    return 0;
}

char DigitOfRate(const CommandFamily &family, int rate)
{
    for (const RateDigit &row : family.rates) {
        if (row.rate == rate)
            return row.digit;
    }
    return '\0';
}

QString FamilyValueProblem(const CommandFamily &family,
                           const FamilySetting &setting,
                           const QString &value,
                           QStringView version)
{
    switch (setting.value) {
    case FamilyValue::Text: {
        int longest = setting.longest;
        if (setting.longerFrom && FirmwareNumber(version) >= setting.longerFrom)
            ++longest;
        if (value.isEmpty())
            return QCoreApplication::translate("Families", "不能为空");
        if (longest && value.size() > longest)
            return QCoreApplication::translate("Families", "最多 %1 个字符").arg(longest);
        const bool ascii = std::all_of(value.begin(), value.end(), [](QChar c) {
            return c.unicode() > 0x20 && c.unicode() < 0x7F;
        });
        return ascii
            ? QString()
            : QCoreApplication::translate("Families", "只能是不带空格的英文字母、数字和符号");
    }
    case FamilyValue::Digits: {
        const bool digits = std::all_of(value.begin(), value.end(),
                                        [](QChar c) { return c >= u'0' && c <= u'9'; });
        return digits && value.size() == setting.longest
            ? QString()
            : QCoreApplication::translate("Families", "必须是 %1 位数字").arg(setting.longest);
    }
    case FamilyValue::Role:
        return value == u"0" || value == u"1"
            ? QString()
            : QCoreApplication::translate("Families", "只能是主角色或从角色");
    case FamilyValue::Rate: {
        bool number = false;
        const int rate = value.trimmed().toInt(&number);
        if (number && DigitOfRate(family, rate))
            return QString();
        QStringList rates;
        for (const RateDigit &row : family.rates)
            rates << QString::number(row.rate);
        std::sort(rates.begin(), rates.end(),
                  [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
        return QCoreApplication::translate("Families", "只能是 %1 之一")
            .arg(rates.join(QStringLiteral("、")));
    }
    }
    return QString();
}

QString
FamilySetLine(const CommandFamily &family, const FamilySetting &setting, const QString &value)
{
    QString written = value;
    if (setting.value == FamilyValue::Rate)
        written = QString(QLatin1Char(DigitOfRate(family, value.trimmed().toInt())));
    return QLatin1String(setting.set) + written + QLatin1String(family.lineEnd);
}
