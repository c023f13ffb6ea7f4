// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "portholder.h"

#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

// The baud rates the operator picks from, in list order (ascending); 38400 is preselected.
// The rates the modules are set to, 1200 to 1382400, with 14400, 56000, 128000 and 256000
// that adapters offer beside them.
inline constexpr std::array<int, 16> BaudRates
    = { 1200,  2400,   4800,   9600,   14400,  19200,  38400,  56000,
        57600, 115200, 128000, 230400, 256000, 460800, 921600, 1382400 };
inline constexpr int DefaultBaudRate = 38400;
// A rate typed in the list: a whole number from 50 to 4000000, the slowest and the fastest
// rate the system's line settings name (B50, B4000000); no adapter of a module goes beyond.
inline constexpr int LowestBaudRate = 50;
inline constexpr int HighestBaudRate = 4000000;

class Notice;
class SerialLink;
class WarningBox;

// Label4's caption and its tooltip.
using PortStatus = std::function<void(const QString &caption, const QString &tooltip)>;

// "搜索端口": closes the port and opens the first port above the last one tried.
// lastPortTried is the engine's LastPortTried. The tooltip names the adapter opened, or,
// when none opens, each device that refused to open and why (the program holding it,
// where the system tells); the box that ends the search shows those reasons too.
// `shared` is the notice that the port opened is shared with another program.
void SearchNextPort(qint16 &lastPortTried,
                    SerialLink &port,
                    const QString &baudText,
                    const PortStatus &setStatus,
                    WarningBox &warning,
                    Notice &shared);

// A port chosen from the list of the ports the system has: closes the port and opens port
// n at the rate, or says in a box why it did not open. The next search goes on after n.
void OpenChosenPort(int n,
                    qint16 &lastPortTried,
                    SerialLink &port,
                    const QString &baudText,
                    const PortStatus &setStatus,
                    WarningBox &warning,
                    Notice &shared);

// An entry of that list: the port's number, its device, and what is shown for it
// ("端口 2：ttyUSB0 — CP2102 USB to UART Bridge Controller").
struct PortChoice
{
    int number;
    QString device;
    QString text;
};
// The ports there are now, by number.
QList<PortChoice> PortChoices();

// The device as people name it: "ttyUSB0" for /dev/ttyUSB0, "COM3".
QString ShortDeviceName(const QString &device);

// Says that port n is open, by the search or on its own after a loss: the label, the
// adapter and any other program using the port in its tooltip, and then a notice.
void AnnouncePortOpen(int n, const SerialLink &port, const PortStatus &setStatus, Notice &shared);

// Label4's tooltip while a port is open: its adapter, and `holder`, another program
// that has it open too.
QString PortOpenTooltip(const SerialLink &port, const std::optional<PortHolder> &holder);

// Sets the port's line to a rate chosen or typed in the list; whether the port took it. A
// rate the open adapter refuses is said in the box, naming it; the port keeps its rate.
bool ApplyBaudRate(SerialLink &port, const QString &baudText, WarningBox &warning);

// The line settings at a baud rate: "38400,n,8,1".
QString LineSettings(const QString &baudText);

// Label4's caption for port n while it is open: "端口：2 已打开 · ttyUSB0".
QString PortOpenCaption(int n, const QString &device);
// Label4's caption for port n once its device has gone away.
QString PortLostCaption(int n);
