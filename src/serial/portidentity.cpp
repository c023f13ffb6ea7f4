// SPDX-License-Identifier: GPL-3.0-or-later
#include "portidentity.h"

#include "portmap.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSettings>
#include <QStringList>

#include <algorithm>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

bool SameDevice(const QSerialPortInfo &info, const QString &device, const QString &canonical)
{
#ifdef Q_OS_WIN
    Q_UNUSED(canonical);
    return info.portName().compare(WindowsPortName(device), Qt::CaseInsensitive) == 0;
#else
    return info.systemLocation() == device
        || (!canonical.isEmpty() && info.systemLocation() == canonical);
#endif
}

} // namespace

PortIdentity IdentityOf(const QString &device, const QList<QSerialPortInfo> &listed)
{
    PortIdentity identity;
    identity.path = device;
    const QString canonical = QFileInfo(device).canonicalFilePath();
    for (const QSerialPortInfo &info : listed) {
        if (!SameDevice(info, device, canonical))
            continue;
        identity.serialNumber = info.serialNumber().trimmed();
        identity.description = info.description().trimmed();
        identity.manufacturer = info.manufacturer().trimmed();
        identity.hasIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
        if (identity.hasIds) {
            identity.vendorId = info.vendorIdentifier();
            identity.productId = info.productIdentifier();
        }
        break;
    }
    return identity;
}

QList<PortIdentity> PresentPorts(bool described)
{
#ifdef Q_OS_WIN
    described = true; // the list tells which COM ports are there
#endif
    // Read once: the unnamed ports are the list's devices too.
    const QList<QSerialPortInfo> listed
        = described || !PortsNamed() ? QSerialPortInfo::availablePorts() : QList<QSerialPortInfo>();
    const QStringList devices = PortDevices(listed);
    static const QList<QSerialPortInfo> none;
    const QList<QSerialPortInfo> &details = described ? listed : none;
    QList<PortIdentity> present;
    for (int n = FirstPortNumber; n <= std::min<int>(LastPortNumber, devices.size()); ++n) {
        const QString device = DeviceForPort(devices, n);
        bool there = false;
#ifdef Q_OS_WIN
        there = std::any_of(listed.cbegin(), listed.cend(), [&](const QSerialPortInfo &info) {
            return SameDevice(info, device, QString());
        });
#else
        // Also a named device the system does not list (a pseudo-terminal, a link to one).
        there = !device.isEmpty() && QFileInfo::exists(device);
#endif
        present << (there ? IdentityOf(device, details) : PortIdentity());
    }
    return present;
}

QByteArray PortListStamp()
{
#ifdef Q_OS_WIN
    // Windows lists the COM ports present, each with the driver's device, in this key.
    QSettings present(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"),
                      QSettings::NativeFormat);
    QByteArray stamp = "COM";
    for (const QString &key : present.allKeys())
        stamp += '|' + key.toUtf8() + '=' + present.value(key).toString().toUtf8();
    return stamp;
#else
    QByteArray stamp;
    for (const char *directory : { "/dev", "/dev/pts" }) {
        struct stat status = {};
        if (::stat(directory, &status) == 0) {
            stamp += QByteArray::number(qint64(status.st_mtim.tv_sec)) + '.'
                + QByteArray::number(qint64(status.st_mtim.tv_nsec)) + ' ';
        }
    }
    if (PortsNamed()) {
        for (const QString &device : PortDevices())
            stamp += '|' + QFile::encodeName(QFileInfo(device).canonicalFilePath());
    }
    return stamp;
#endif
}

bool SameAdapter(const PortIdentity &lost, const PortIdentity &present)
{
    if (lost.path.isEmpty() || present.path.isEmpty())
        return false;
    if (lost.hasIds != present.hasIds)
        return false;
    if (lost.hasIds && (lost.vendorId != present.vendorId || lost.productId != present.productId))
        return false;
    if (!lost.serialNumber.isEmpty())
        return lost.serialNumber == present.serialNumber;
    return present.serialNumber.isEmpty() && lost.path == present.path;
}

int FindAdapter(const PortIdentity &lost, const QList<PortIdentity> &present)
{
    // The old name first: the same adapter may be listed under it and, briefly, a new one.
    for (qsizetype i = 0; i < present.size(); ++i) {
        if (present[i].path == lost.path && SameAdapter(lost, present[i]))
            return int(i) + 1;
    }
    for (qsizetype i = 0; i < present.size(); ++i) {
        if (SameAdapter(lost, present[i]))
            return int(i) + 1;
    }
    return 0;
}

QString AdapterText(const PortIdentity &identity)
{
    QStringList lines { identity.path };
    if (!identity.description.isEmpty())
        lines << QCoreApplication::translate("PortSearch", "描述：%1").arg(identity.description);
    if (!identity.manufacturer.isEmpty())
        lines << QCoreApplication::translate("PortSearch", "制造商：%1").arg(identity.manufacturer);
    if (identity.hasIds) {
        lines << QCoreApplication::translate("PortSearch", "VID:PID：%1:%2")
                     .arg(identity.vendorId, 4, 16, QLatin1Char('0'))
                     .arg(identity.productId, 4, 16, QLatin1Char('0'));
    }
    if (!identity.serialNumber.isEmpty())
        lines << QCoreApplication::translate("PortSearch", "序列号：%1").arg(identity.serialNumber);
    return lines.join(QLatin1Char('\n'));
}
