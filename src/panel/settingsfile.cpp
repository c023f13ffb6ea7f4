// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingsfile.h"

#include "engine/enginestate.h"
#include "engine/seams.h"
#include "engine/settingcheck.h"
#include "engine/update.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <array>
#include <map>

namespace {

const QString SettingsSection = QStringLiteral("settings");
const QString ModuleSection = QStringLiteral("module");
const QString AddressKey = QStringLiteral("ADDR");
const QString VersionKey = QStringLiteral("VERSION");
const QString ReadKey = QStringLiteral("READ");

constexpr qint64 LargestFile = 64 * 1024; // nine settings take well under 1 KiB
constexpr int LongestValue = 32767; // what a QLineEdit holds

bool IsKnownKey(const QString &section, const QString &key)
{
    if (section == SettingsSection)
        return SettingStep(key) != 0;
    return section == ModuleSection && (key == AddressKey || key == VersionKey || key == ReadKey);
}

// The lines of the text as QSettings reads them: where each setting is, and the first
// line that is none of a blank line, a comment, a section or a known key (QSettings
// passes over such lines without a word). A line ends at LF, CR or CR LF, as for QSettings.
struct Layout
{
    std::map<QString, int> settingLine; // the last line of each key of [settings]
    QSet<QString> keys; // as QSettings names them: "settings/NAME"
    SettingsFileFault fault;
};

QList<QByteArray> Lines(const QByteArray &data)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype at = 0; at < data.size(); ++at) {
        if (data[at] != '\n' && data[at] != '\r')
            continue;
        lines << data.mid(start, at - start);
        if (data[at] == '\r' && at + 1 < data.size() && data[at + 1] == '\n')
            ++at;
        start = at + 1;
    }
    lines << data.mid(start);
    return lines;
}

Layout ReadLayout(const QByteArray &data)
{
    Layout layout;
    QString section;
    int number = 0;
    const auto fault = [&number](const QString &reason) {
        return Layout { {}, {}, { number, reason } };
    };
    const auto unreadable
        = [&] { return fault(QCoreApplication::translate("SettingsFile", "无法读懂这一行")); };
    for (const QByteArray &raw : Lines(data)) {
        ++number;
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString line = QString(utf8(raw)).trimmed();
        if (utf8.hasError())
            return fault(QCoreApplication::translate("SettingsFile", "不是 UTF-8 文本"));
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))
            || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return unreadable();
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return unreadable();
        const QString key = line.first(equals).trimmed();
        if (!IsKnownKey(section, key))
            return fault(QCoreApplication::translate("SettingsFile", "未知的设置 %1").arg(key));
        if (section == SettingsSection)
            layout.settingLine[key] = number;
        layout.keys.insert(section + QLatin1Char('/') + key);
    }
    return layout;
}

} // namespace

std::optional<QString>
SaveSettingsFile(const QString &path, const SettingsFields &fields, const ModuleRecord &module)
{
    // QSettings would read what a file there holds, and take a file it cannot read for a
    // failed write: it writes a new file of its own, which then replaces the old one whole,
    // or not at all.
    const QTemporaryDir scratch;
    if (!scratch.isValid())
        return scratch.errorString();
    const QString made = scratch.filePath(QStringLiteral("settings.ini"));
    QSettings file(made, QSettings::IniFormat);
    file.beginGroup(ModuleSection);
    if (!module.address.isEmpty())
        file.setValue(AddressKey, module.address);
    if (!module.version.isEmpty())
        file.setValue(VersionKey, module.version);
    if (module.readAt.isValid())
        file.setValue(
            ReadKey,
            module.readAt.toOffsetFromUtc(module.readAt.offsetFromUtc()).toString(Qt::ISODate));
    file.endGroup();
    file.beginGroup(SettingsSection);
    for (int step = 1; step <= UpdateSteps; ++step)
        file.setValue(SettingWord(step), SettingValue(step, fields));
    file.endGroup();
    file.sync();
    QFile written(made);
    if (file.status() != QSettings::NoError || !written.open(QIODevice::ReadOnly))
        return QCoreApplication::translate("SettingsFile", "无法写入");
    QSaveFile saved(path);
    if (!saved.open(QIODevice::WriteOnly) || saved.write(written.readAll()) < 0 || !saved.commit())
        return saved.errorString();
    return std::nullopt;
}

namespace {

// The settings the file holds, by update step; a setting left out is a fault unless
// `partial`.
struct FileRead
{
    FileRead() = default;
    FileRead(const SettingsFileFault &why)
        : fault(why)
    { }

    std::optional<SettingsFileFault> fault;
    std::map<int, QString> values;
};

FileRead ReadSettingsFile(const QString &path, bool partial)
{
    const QFileInfo info(path);
    if (!info.exists())
        return SettingsFileFault { 0, QCoreApplication::translate("SettingsFile", "文件不存在") };
    // Not opened unless a plain file: opening a named pipe would wait for a writer.
    if (!info.isFile())
        return SettingsFileFault { 0, QCoreApplication::translate("SettingsFile", "不是普通文件") };
    if (info.size() > LargestFile)
        return SettingsFileFault {
            0, QCoreApplication::translate("SettingsFile", "文件太大，不是配置文件")
        };
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly))
        return SettingsFileFault { 0, raw.errorString() };
    const Layout layout = ReadLayout(raw.readAll());
    if (layout.fault.line > 0)
        return layout.fault;

    QSettings file(path, QSettings::IniFormat);
    // A quoted value across lines, a line continued after a backslash: QSettings would load
    // keys the lines above do not show, or miss some they do.
    const QStringList read = file.allKeys();
    if (file.status() != QSettings::NoError
        || QSet<QString>(read.begin(), read.end()) != layout.keys)
        return SettingsFileFault {
            0, QCoreApplication::translate("SettingsFile", "无法读懂这个文件")
        };
    file.beginGroup(SettingsSection);
    std::array<QString, UpdateSteps> values;
    std::optional<SettingsFileFault> first;
    for (int step = 1; step <= UpdateSteps; ++step) {
        const QString word = SettingWord(step);
        const auto line = layout.settingLine.find(word);
        if (line == layout.settingLine.end()) {
            if (!first && !partial)
                first = SettingsFileFault {
                    0, QCoreApplication::translate("SettingsFile", "缺少设置 %1").arg(word)
                };
            continue;
        }
        const QVariant value = file.value(word);
        // An unquoted value with commas comes back as a list.
        values[step - 1] = value.typeId() == QMetaType::QStringList
            ? value.toStringList().join(QLatin1Char(','))
            : value.toString();
        const bool holds
            = (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QStringList)
            && values[step - 1].size() <= LongestValue && SettingHolds(step, values[step - 1]);
        if (!holds && (!first || first->line == 0 || line->second < first->line))
            first = SettingsFileFault {
                line->second,
                // QSettings unescapes \r, \n and \0 in quotes: a second command in a value.
                HoldsControlCharacter(values[step - 1])
                    ? QCoreApplication::translate("SettingsFile", "%1 的值含有换行或其他控制字符")
                          .arg(word)
                    : QCoreApplication::translate("SettingsFile", "%1 的值不能填入面板").arg(word)
            };
    }
    if (first)
        return *first;
    FileRead held;
    for (int step = 1; step <= UpdateSteps; ++step) {
        if (layout.settingLine.contains(SettingWord(step)))
            held.values[step] = values[step - 1];
    }
    return held;
}

} // namespace

std::optional<SettingsFileFault> LoadSettingsFile(const QString &path, SettingsFields &fields)
{
    const FileRead read = ReadSettingsFile(path, false);
    if (read.fault)
        return read.fault;
    for (const auto &[step, value] : read.values)
        SetSettingValue(step, value, fields);
    return std::nullopt;
}

std::optional<SettingsFileFault> LoadProfileFile(const QString &path,
                                                 std::map<int, QString> &profile)
{
    FileRead read = ReadSettingsFile(path, true);
    if (!read.fault)
        profile = std::move(read.values);
    return read.fault;
}
