#include "portmap.h"

#include <QDir>
#include <QSerialPortInfo>

#include <algorithm>

QStringList PortDevices()
{
#ifdef Q_OS_WIN
    QStringList ports;
    for (int n = FirstPortNumber; n <= LastPortNumber; ++n)
        ports << QStringLiteral("COM%1").arg(n);
    return ports;
#else
    if (qEnvironmentVariableIsSet("TARVENIT_PORTS")) {
        // Empty entries are kept, so every later entry keeps its number.
        return qEnvironmentVariable("TARVENIT_PORTS").split(QDir::listSeparator());
    }
    QStringList ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation();
    std::sort(ports.begin(), ports.end());
    return ports;
#endif
}

QString DeviceForPort(int number)
{
    const QStringList ports = PortDevices();
    if (number < 1 || number > ports.size())
        return QString();
    return ports.at(number - 1);
}
