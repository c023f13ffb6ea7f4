// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>

// The operator's choices kept between runs: one file in the user's configuration folder
// (~/.config/Tarvenit/Tarvenit.ini; %APPDATA%\Tarvenit\Tarvenit.ini on Windows).
class Preferences : public QSettings
{
public:
    Preferences()
        : QSettings(QSettings::IniFormat,
                    QSettings::UserScope,
                    QStringLiteral("Tarvenit"),
                    QStringLiteral("Tarvenit"))
    { }
};
