// SPDX-License-Identifier: GPL-3.0-or-later
#include "guardedcommands.h"

#include "families/families.h"

#include <QCoreApplication>
#include <QList>

#include <array>

namespace {

struct GuardedCommand
{
    const char *command;
    const char *follows;
    int rateAfter = 0; // the rate the module talks at once it answered, 0: as before
};

// The factory settings are those of each family's datasheets.
constexpr std::array<GuardedCommand, 5> GuardedCommands = { {
    { "AT+ORGL",
      QT_TRANSLATE_NOOP("GuardedCommands",
                        "模块将恢复出厂设置：从角色，PIN 1234，波特率 38400；此后以 38400 连接"),
      38400 },
    { "AT+RENEW",
      QT_TRANSLATE_NOOP("GuardedCommands",
                        "模块将恢复出厂设置：从角色，密码 000000，波特率 9600；此后以 9600 连接"),
      9600 },
    { "AT+RMAAD",
      QT_TRANSLATE_NOOP("GuardedCommands", "模块将清空配对列表：配对过的设备都要重新配对") },
    { "AT+ERASE",
      QT_TRANSLATE_NOOP("GuardedCommands", "模块将清除绑定的设备：配对过的设备都要重新配对") },
    { "AT+RESET",
      QT_TRANSLATE_NOOP(
          "GuardedCommands",
          "模块将重启；使用经典命令集的模块此后离开命令模式，要重新进入命令模式才能设置") },
} };

// The "OK+" family takes no command at this rate.
constexpr int LockedOutRate = 1200;

QList<QByteArray> Commands(const QByteArray &bytes)
{
    QByteArray lines = bytes;
    lines.replace('\r', '\n');
    QList<QByteArray> commands;
    for (const QByteArray &line : lines.split('\n'))
        commands << line.trimmed().toUpper();
    return commands;
}

// The rate a rate command sets: AT+UART=9600,0,0 of this tool's own family, AT+BAUD4 of
// another's; 0 for another command.
int RateSet(const QByteArray &command, const CommandFamily *family)
{
    if (!family) {
        if (!command.startsWith("AT+UART="))
            return 0;
        return command.mid(8).split(',').value(0).trimmed().toInt();
    }
    if (!command.startsWith("AT+BAUD") || command.size() != 8)
        return 0;
    return RateOfDigit(*family, QLatin1Char(command.at(7)));
}

} // namespace

QString GuardedCommandWarning(const QByteArray &bytes,
                              const CommandFamily *family,
                              const std::function<bool(int)> &accepts)
{
    for (const QByteArray &command : Commands(bytes)) {
        for (const GuardedCommand &guarded : GuardedCommands) {
            if (command == guarded.command)
                return QCoreApplication::translate("GuardedCommands", guarded.follows);
        }
        const int rate = RateSet(command, family);
        if (rate && accepts && !accepts(rate))
            return QCoreApplication::translate(
                       "GuardedCommands",
                       "模块将以 %1 波特通信，而这个适配器不能设为 %1 波特：此后无法再与它通信")
                .arg(rate);
        if (rate == LockedOutRate && family && family->restart)
            return QCoreApplication::translate(
                "GuardedCommands",
                "模块重新启动后将以 1200 波特通信，这一类模块在 1200 波特不再接受任何命令");
    }
    return QString();
}

int RateAfterCommand(const QByteArray &bytes, const CommandFamily *family, int *pending)
{
    for (const QByteArray &command : Commands(bytes)) {
        for (const GuardedCommand &guarded : GuardedCommands) {
            if (command == guarded.command && guarded.rateAfter)
                return guarded.rateAfter;
        }
        const int rate = family ? RateSet(command, family) : 0;
        if (rate && family->rateAtOnce)
            return rate;
        if (rate && pending)
            *pending = rate;
    }
    return 0;
}
