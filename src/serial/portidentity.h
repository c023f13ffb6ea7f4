// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

class QSerialPortInfo;

// Which adapter a port is, as far as the system tells: a USB adapter's serial number with
// its vendor and product id, else only the device path (a built-in port, a pseudo-terminal).
struct PortIdentity
{
    QString path; // the device as the port list names it; empty: nothing there
    QString serialNumber;
    QString description;
    QString manufacturer;
    bool hasIds = false;
    quint16 vendorId = 0;
    quint16 productId = 0;
};

// The identity of `device` among the ports the system lists (matched by path, or by the
// device a link points to); only the path when the system does not list it.
PortIdentity IdentityOf(const QString &device, const QList<QSerialPortInfo> &listed);

// The identity of each port number's device present now, port n at index n - 1; a number
// whose device is missing has an empty identity. Without `described`, only the paths: the
// system's list of adapters, which takes milliseconds to read, is left unread.
QList<PortIdentity> PresentPorts(bool described = true);

// Changes whenever the port list may have: a device node came or went in /dev, or a named
// port's path appeared, vanished or points elsewhere; on Windows, the registry's list of
// COM ports changed. Costs a few system calls, where reading the list costs milliseconds.
QByteArray PortListStamp();

// Whether `present` is the adapter that `lost` was. With a serial number the adapter is
// found under any name; without one, only at the same path. A known vendor and product id
// must agree either way, so another adapter plugged in under the old name is not taken.
bool SameAdapter(const PortIdentity &lost, const PortIdentity &present);

// The port number at which the lost adapter is present again, or 0.
int FindAdapter(const PortIdentity &lost, const QList<PortIdentity> &present);

// The label's tooltip for an open port: the device path, then each detail known.
QString AdapterText(const PortIdentity &identity);
