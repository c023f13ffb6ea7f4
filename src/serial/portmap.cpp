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
#ifdef Q_OS_WIN
    return PortDevices({}); // COM1 to COM16: nothing to read
#else
    return PortDevices(PortsNamed() ? QList<QSerialPortInfo>() : QSerialPortInfo::availablePorts());
#endif
}

QStringList PortDevices(const QList<QSerialPortInfo> &listed)
{
    if (PortsNamed()) {
        // Empty entries are kept, so every later entry keeps its number.
#ifdef Q_OS_WIN
        QStringList ports = qEnvironmentVariable("TARVENIT_PORTS").split(QDir::listSeparator());
        for (QString &port : ports)
            port = WindowsPortName(port.trimmed());
        return ports;
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
    Q_UNUSED(listed);
    for (int n = FirstPortNumber; n <= LastPortNumber; ++n)
        ports << QStringLiteral("COM%1").arg(n);
#else
    for (const QSerialPortInfo &info : listed)
        ports << info.systemLocation();
    std::sort(ports.begin(), ports.end(), NaturalLess);
#endif
    return ports;
}

QString WindowsPortName(const QString &name)
{
    QString port = name;
    if (port.startsWith(QLatin1String("\\\\.\\")))
        port.remove(0, 4);
    if (port.startsWith(QLatin1String("com"), Qt::CaseInsensitive)) {
        bool number = false;
        port.mid(3).toUInt(&number);
        if (number)
            return QLatin1String("COM") + port.mid(3);
    }
    return name;
}

bool NaturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i, endB = j;
            while (endA < a.size() && a[endA].isDigit())
                ++endA;
            while (endB < b.size() && b[endB].isDigit())
                ++endB;
            // Compare the numbers without their leading zeros: by length, then by digits.
            const QStringView numberA = QStringView(a).mid(i, endA - i);
            const QStringView numberB = QStringView(b).mid(j, endB - j);
            const auto significant = [](QStringView digits) {
                qsizetype zeros = 0;
                while (zeros + 1 < digits.size() && digits[zeros] == QLatin1Char('0'))
                    ++zeros;
                return digits.mid(zeros);
            };
            const QStringView x = significant(numberA), y = significant(numberB);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int order = x.compare(y); order != 0)
                return order < 0;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b; // equal as numbers ("COM02", "COM2"): still a strict order
}

QString DeviceForPort(const QStringList &ports, int number)
{
    if (number < 1 || number > ports.size())
        return QString();
    return ports.at(number - 1);
}
