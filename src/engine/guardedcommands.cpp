// SPDX-License-Identifier: GPL-3.0-or-later
#include "guardedcommands.h"

#include <QCoreApplication>
#include <QList>

#include <array>

namespace {

struct GuardedCommand
{
    const char *command;
    const char *follows;
};

// The factory settings are those of each family's datasheets.
constexpr std::array<GuardedCommand, 5> GuardedCommands = { {
    { "AT+ORGL",
      QT_TRANSLATE_NOOP("GuardedCommands",
                        "模块将恢复出厂设置：从角色，PIN 1234，波特率 38400；此后以 38400 连接") },
    { "AT+RENEW",
      QT_TRANSLATE_NOOP("GuardedCommands",
                        "模块将恢复出厂设置：从角色，密码 000000，波特率 9600；此后以 9600 连接") },
    { "AT+RMAAD",
      QT_TRANSLATE_NOOP("GuardedCommands", "模块将清空配对列表：配对过的设备都要重新配对") },
    { "AT+ERASE",
      QT_TRANSLATE_NOOP("GuardedCommands", "模块将清除绑定的设备：配对过的设备都要重新配对") },
    { "AT+RESET",
      QT_TRANSLATE_NOOP(
          "GuardedCommands",
          "模块将重启；使用经典命令集的模块此后离开命令模式，要重新进入命令模式才能设置") },
} };

} // namespace

QString GuardedCommandWarning(const QByteArray &bytes)
{
    QByteArray lines = bytes;
    lines.replace('\r', '\n');
    for (const QByteArray &line : lines.split('\n')) {
        const QByteArray command = line.trimmed().toUpper();
        for (const GuardedCommand &guarded : GuardedCommands) {
            if (command == guarded.command)
                return QCoreApplication::translate("GuardedCommands", guarded.follows);
        }
    }
    return QString();
}
