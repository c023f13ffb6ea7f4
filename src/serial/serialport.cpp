// SPDX-License-Identifier: GPL-3.0-or-later
#include "serialport.h"

#include "portmap.h"

#include <QFile>

#include <algorithm>

#include <unistd.h>

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        // Reads that follow each other closely are a stream.
        const bool streaming
            = m_sinceRead.isValid() && m_sinceRead.elapsed() < 2 * GatherMilliseconds;
        m_sinceRead.start();
        m_lastRead = 0;
        notify(CommEvent::Receive);
        if (streaming)
            GatherNext();
    });
    connect(&m_port, &QSerialPort::bytesWritten, this, [this] { notify(CommEvent::Send); });
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPort::onErrorOccurred);
    m_gather.setSingleShot(true);
    connect(&m_gather, &QTimer::timeout, this, [this] {
        if (m_readNotifier && m_port.isOpen())
            m_readNotifier->setEnabled(true);
    });
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (m_port.bytesAvailable() == 0) // else the next read goes on from what is held
            ReleaseHeld();
    });
}

SerialPort::~SerialPort()
{
    // Disconnect first: closing must not call back into a half-destroyed owner.
    m_port.disconnect(this);
}

void SerialPort::Close()
{
    if (!m_port.isOpen())
        return;
    ReleaseHeld();
    m_gather.stop();
    m_port.close();
}

void SerialPort::ReadPortList()
{
    m_ports = PortDevices();
}

void SerialPort::SetPortNumber(int number)
{
    m_number = number;
    m_device = DeviceForPort(m_ports, number);
    m_port.setPortName(m_device);
}

void SerialPort::SetLine(const QString &settings)
{
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return;
    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return;

    const QString parityText = parts[1].trimmed().toLower();
    if (parityText.size() != 1)
        return;
    QSerialPort::Parity parity;
    switch (parityText.front().toLatin1()) {
    case 'n':
        parity = QSerialPort::NoParity;
        break;
    case 'e':
        parity = QSerialPort::EvenParity;
        break;
    case 'o':
        parity = QSerialPort::OddParity;
        break;
    case 'm':
        parity = QSerialPort::MarkParity;
        break;
    case 's':
        parity = QSerialPort::SpaceParity;
        break;
    default:
        return;
    }
    const int dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        return;
    const QString stop = parts[3].trimmed();
    QSerialPort::StopBits stopBits;
    if (stop == QLatin1String("1"))
        stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        stopBits = QSerialPort::TwoStop;
    else
        return;

    m_port.setBaudRate(baud);
    m_port.setParity(parity);
    m_port.setDataBits(QSerialPort::DataBits(dataBits));
    m_port.setStopBits(stopBits);
}

void SerialPort::SetReceiveThreshold(int characters)
{
    // QSerialPort announces data as soon as one byte waits; nothing to set.
    Q_UNUSED(characters);
}

void SerialPort::SetTextMode()
{
    // Reads and writes are always text (UTF-8); nothing else to select.
}

void SerialPort::Open()
{
    m_refusal = Refusal::None;
    if (m_port.portName().isEmpty() || m_port.isOpen())
        return;
    m_received.Reset();
    if (m_port.open(QIODevice::ReadWrite))
        return;
    if (m_port.error() == QSerialPort::DeviceNotFoundError && PortsNamed())
        m_refusal = Refusal::Missing;
    if (m_port.error() != QSerialPort::PermissionError)
        return;
    // Qt reports a device the user may not open and one that another program holds
    // (its lock file, or exclusive use) alike; the file's access rights tell them apart.
    const bool mayUse = ::access(QFile::encodeName(m_device).constData(), R_OK | W_OK) == 0;
    m_refusal = mayUse ? Refusal::InUse : Refusal::NoPermission;
}

bool SerialPort::IsOpen() const
{
    return m_port.isOpen();
}

void SerialPort::ClearBuffers()
{
    if (m_port.isOpen())
        m_port.clear(QSerialPort::AllDirections);
}

void SerialPort::Write(const QString &text)
{
    if (m_port.isOpen())
        m_port.write(text.toUtf8());
}

QString SerialPort::Read()
{
    if (!m_port.isOpen())
        return QString();
    const QByteArray bytes = m_port.readAll();
    m_lastRead += bytes.size();
    QString text = m_received.Decode(bytes);
    if (m_releaseDue)
        text += m_received.Release();
    if (m_received.Holding())
        m_quiet.start(QuietGap());
    else
        m_quiet.stop();
    return text;
}

void SerialPort::ReleaseHeld()
{
    m_quiet.stop();
    if (!m_received.Holding())
        return;
    m_releaseDue = true;
    notify(CommEvent::Receive);
    m_releaseDue = false;
}

int SerialPort::QuietGap() const
{
    // The three bytes a held character can still lack and one more, at ten bits a
    // character; but never shorter than the time a USB adapter may hold received bytes
    // before passing them on (16 ms by default for the common ones), with room to spare.
    constexpr int Characters = 4;
    constexpr int BitsPerCharacter = 10;
    constexpr int MinimumMs = 50;
    const qint64 baud = std::max(1, m_port.baudRate());
    return int(
        std::max<qint64>(MinimumMs, (Characters * BitsPerCharacter * 1000 + baud - 1) / baud));
}

void SerialPort::GatherNext()
{
    // In a stream of reads of a few bytes each (what a USB adapter passes on at its
    // latency tick), the next ones gather for a moment rather than wake the tool for every
    // few. A reply after a pause is read at once; a flood fills every read and is read on
    // without a pause.
    if (!m_port.isOpen() || m_lastRead >= GatherBelow)
        return;
    // QSerialPort has no call to pause reading. Where it reads through a socket notifier,
    // that notifier is its child, on whenever it reads (a closed port's one may still wait
    // for deletion, off), and it turns it on again whenever it is read from.
    if (!m_readNotifier || !m_readNotifier->isEnabled()) {
        m_readNotifier = nullptr;
        for (QSocketNotifier *notifier : m_port.findChildren<QSocketNotifier *>()) {
            if (notifier->type() == QSocketNotifier::Read && notifier->isEnabled())
                m_readNotifier = notifier;
        }
    }
    if (!m_readNotifier)
        return;
    m_readNotifier->setEnabled(false);
    m_gather.start(GatherMilliseconds);
}

void SerialPort::notify(CommEvent event)
{
    m_lastEvent = event;
    emit commEvent();
}

void SerialPort::onErrorOccurred(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
    case QSerialPort::UnknownError:
        break;
    default:
        return; // NoError comes with every open; the rest belong to a single operation
    }
    // The device is gone. Qt keeps reporting it in a tight loop until the port is
    // closed, so close it once and tell the owner once.
    if (m_closingOnError || !m_port.isOpen())
        return;
    m_closingOnError = true;
    ReleaseHeld();
    m_gather.stop();
    m_port.close();
    m_closingOnError = false;
    notify(CommEvent::Error);
    emit deviceLost();
}
