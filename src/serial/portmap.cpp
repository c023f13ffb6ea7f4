#include "portmap.h"

#include <QDir>
#include <QFile>
#include <QSerialPortInfo>

#include <algorithm>

QStringList PortDevices()
{
    if (qEnvironmentVariableIsSet("TARVENIT_PORTS")) {
        // Empty entries are kept, so every later entry keeps its number.
#ifdef Q_OS_WIN
        return qEnvironmentVariable("TARVENIT_PORTS").split(QDir::listSeparator());
#else
        // Device paths are bytes: decode them as the file system does, so that a path
        // that is not valid UTF-8 still names its device.
        QStringList ports;
        const char separator = QDir::listSeparator().toLatin1();
        for (const QByteArray &entry : qgetenv("TARVENIT_PORTS").split(separator))
            ports << QFile::decodeName(entry);
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
