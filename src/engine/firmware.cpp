// SPDX-License-Identifier: GPL-3.0-or-later
#include "firmware.h"

#include <array>

namespace {

// What each generation changed; the first row is the one the tool was built for.
const std::array<FirmwareForms, 3> FirmwareTable = { {
    { 2, false, nullptr }, // and any version not below
    { 3, true, nullptr }, // refuses a bare PIN with ERROR:(1D)
    { 4, false, "AT+CMODE?" }, // refuses the bare form
} };

bool InQuotes(const QString &text)
{
    return text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"'));
}

} // namespace

QString VersionIn(QStringView reply)
{
    const qsizetype keyword = reply.indexOf(u"VERSION");
    if (keyword < 0)
        return QString();
    const qsizetype colon = reply.indexOf(u':', keyword);
    if (colon < 0)
        return QString();
    QStringView value = reply.sliced(colon + 1);
    const qsizetype lineEnd = value.indexOf(u'\n');
    if (lineEnd >= 0)
        value.truncate(lineEnd);
    return value.trimmed().toString();
}

const FirmwareForms &FormsFor(QStringView version)
{
    // The generation is the number before the first dot.
    const qsizetype dot = version.indexOf(u'.');
    bool isNumber = false;
    const int major = version.first(dot < 0 ? version.size() : dot).toInt(&isNumber);
    for (const FirmwareForms &row : FirmwareTable) {
        if (isNumber && row.major == major)
            return row;
    }
    return FirmwareTable.front();
}

QString PinToWrite(const QString &pin, const FirmwareForms &forms)
{
    if (!forms.quotedPin || InQuotes(pin))
        return pin;
    return QLatin1Char('"') + pin + QLatin1Char('"');
}

QString WithoutQuotes(const QString &value)
{
    return InQuotes(value) ? value.sliced(1, value.size() - 2) : value;
}
