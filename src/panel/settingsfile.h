// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include <map>
#include <optional>

class SettingsFields;

// The nine writable settings in a file, to put a module back as it was or to write the
// same settings into a batch of modules. The file is INI text in UTF-8, written and read
// by QSettings, one setting a line under its command word; a group holds the number the
// module takes (empty when no option is chosen). The module the settings were read from
// has a section of its own, which loading leaves alone:
//
//   [module]
//   ADDR=1a2b:3c:4d5e6f
//   READ=2025-03-10T14:03:11+08:00
//   VERSION=1.4-20250310
//
//   [settings]
//   BIND=0:0:0
//   CLASS=1f00
//   CMODE=0
//   ...
//
// QSettings quotes a value with commas, and reads an unquoted one as a list: such a value
// typed by hand (UART=9600,0,0) is read back with its commas.
struct ModuleRecord
{
    QString address;
    QString version;
    QDateTime readAt; // invalid when the panel is not as a query read it
};

// Writes the file whole, replacing one that is there; the reason when it could not.
std::optional<QString>
SaveSettingsFile(const QString &path, const SettingsFields &fields, const ModuleRecord &module);

// Why a file is not one of these: at which line (from 1; 0 when no one line is at fault).
struct SettingsFileFault
{
    int line = 0;
    QString reason;
};

// Fills the nine settings from the file; when it is not a settings file, touches nothing
// and tells its first fault. The file is read whole: it is refused above 64 KiB.
std::optional<SettingsFileFault> LoadSettingsFile(const QString &path, SettingsFields &fields);

// A batch's profile: the settings the file holds, by update step; a setting left out of
// it is not written, so none is missing. The same checks as LoadSettingsFile otherwise.
std::optional<SettingsFileFault> LoadProfileFile(const QString &path,
                                                 std::map<int, QString> &profile);
