// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QSerialPortInfo;

inline constexpr int FirstPortNumber = 1;
inline constexpr int LastPortNumber = 16;

// The devices behind port numbers 1, 2, 3 …: the entries of TARVENIT_PORTS when it is
// set (for virtual ports), otherwise the system's serial ports in natural order of their
// device paths.
QStringList PortDevices();
// The same from the system's serial ports as just read, for a caller that reads them anyway.
QStringList PortDevices(const QList<QSerialPortInfo> &listed);

// Whether TARVENIT_PORTS names the devices: then a missing one is worth a word.
bool PortsNamed();

// A port name as Windows writes it: "\\.\com3" and "com3" are "COM3"; other names unchanged.
QString WindowsPortName(const QString &name);

// Natural order of port names: a run of digits compares as a number (COM2 before COM10,
// ttyUSB2 before ttyUSB10).
bool NaturalLess(const QString &a, const QString &b);

// The device of port n in that list, or empty when there is none.
QString DeviceForPort(const QStringList &ports, int number);
