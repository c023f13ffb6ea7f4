// SPDX-License-Identifier: GPL-3.0-or-later
#include "optiongroups.h"

#include "seams.h"

#include <QRegularExpression>

std::optional<double> ReadNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral(R"(^\s*([+-]?\d+(\.\d+)?)\s*$)"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toDouble();
}

void ApplyGroupValue(const OptionGroup &group, const QString &value, SettingsFields &fields)
{
    const std::optional<double> n = ReadNumber(value);
    if (!n)
        return;
    int selected = group.optionForOther;
    if (*n == 0)
        selected = group.optionForZero;
    else if (*n == 1)
        selected = group.optionForOne;
    SelectOption(group, selected, fields);
}

void SelectOption(const OptionGroup &group, int option, SettingsFields &fields)
{
    for (const auto &[each, written] : group.writeOrder()) {
        Q_UNUSED(written);
        fields.SetOption(each, each == option);
    }
}
