// SPDX-License-Identifier: GPL-3.0-or-later
#include "portmap.h"

#include <QDir>
#include <QFile>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstdlib>

#ifndef Q_OS_WIN
namespace {

// The port's path as QSerialPort can open it. A path that is not valid UTF-8 cannot go
// through QString unchanged; the canonical path of its device usually can (device nodes
// and the links to them are named in ASCII).
QString PortPath(const QByteArray &entry)
{
    const QString path = QFile::decodeName(entry);
    if (QFile::encodeName(path) == entry)
        return path;
    if (char *resolved = ::realpath(entry.constData(), nullptr)) {
        const QByteArray canonical(resolved);
        std::free(resolved);
        const QString target = QFile::decodeName(canonical);
        if (QFile::encodeName(target) == canonical)
            return target;
    }
    return path;
}

} // namespace
#endif

bool PortsNamed()
{
    return qEnvironmentVariableIsSet("TARVENIT_PORTS");
}

QStringList PortDevices()
{
    if (PortsNamed()) {
        // Empty entries are kept, so every later entry keeps its number.
#ifdef Q_OS_WIN
        return qEnvironmentVariable("TARVENIT_PORTS").split(QDir::listSeparator());
#else
        // Device paths are bytes, and any path must reach its device.
        QStringList ports;
        const char separator = QDir::listSeparator().toLatin1();
        for (const QByteArray &entry : qgetenv("TARVENIT_PORTS").split(separator))
            ports << PortPath(entry);
        return ports;
#endif
    }
    QStringList ports;
#ifdef Q_OS_WIN
    for (int n = FirstPortNumber; n <= LastPortNumber; ++n)
        ports << QStringLiteral("COM%1").arg(n);
#else
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation();
    std::sort(ports.begin(), ports.end());
#endif
    return ports;
}

QString DeviceForPort(const QStringList &ports, int number)
{
    if (number < 1 || number > ports.size())
        return QString();
    return ports.at(number - 1);
}
