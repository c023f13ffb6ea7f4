// SPDX-License-Identifier: GPL-3.0-or-later
#include "serialport.h"

#include "portmap.h"
#include "portopener.h"

#include <QFile>
#include <QSerialPortInfo>

#include <algorithm>

#include <unistd.h>

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
    , m_port(std::make_unique<QSerialPort>())
{
    Attach();
    m_gather.setSingleShot(true);
    m_gather.setTimerType(Qt::PreciseTimer);
    connect(&m_gather, &QTimer::timeout, this, [this] {
        StopGathering();
        notify(CommEvent::Receive);
    });
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (m_port->bytesAvailable() == 0) // else the next read goes on from what is held
            ReleaseHeld();
    });
}

SerialPort::~SerialPort()
{
    // Disconnect first: closing must not call back into a half-destroyed owner.
    m_port->disconnect(this);
}

void SerialPort::Attach()
{
    connect(m_port.get(), &QSerialPort::readyRead, this, &SerialPort::onReadyRead);
    connect(m_port.get(), &QSerialPort::bytesWritten, this, [this] { notify(CommEvent::Send); });
    connect(m_port.get(), &QSerialPort::errorOccurred, this, &SerialPort::onErrorOccurred);
}

bool SerialPort::OpenOffThread()
{
    // The same line settings stay at hand for a port given up on.
    auto spare = std::make_unique<QSerialPort>();
    spare->setPortName(m_port->portName());
    spare->setBaudRate(m_port->baudRate());
    spare->setParity(m_port->parity());
    spare->setDataBits(m_port->dataBits());
    spare->setStopBits(m_port->stopBits());
    m_port->disconnect(this);
    PortOpener::Result result = PortOpener::Open(std::move(m_port), m_device, m_openForTest);
    m_port = result.port ? std::move(result.port) : std::move(spare);
    Attach();
    if (result.stalled)
        m_refusal = Refusal::Stalled;
    return result.opened;
}

void SerialPort::Close()
{
    if (!m_port->isOpen())
        return;
    DeliverGathered();
    ReleaseHeld();
    m_port->close();
}

void SerialPort::SetReadAtOnce(bool atOnce)
{
    m_readAtOnce = atOnce;
    if (atOnce)
        DeliverGathered();
}

void SerialPort::ReadPortList()
{
    m_ports = PortDevices();
}

void SerialPort::SetPortNumber(int number)
{
    m_number = number;
    m_device = DeviceForPort(m_ports, number);
    m_port->setPortName(m_device);
}

bool SerialPort::SetLine(const QString &settings)
{
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return false;

    const QString parityText = parts[1].trimmed().toLower();
    if (parityText.size() != 1)
        return false;
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
        return false;
    }
    const int dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        return false;
    const QString stop = parts[3].trimmed();
    QSerialPort::StopBits stopBits;
    if (stop == QLatin1String("1"))
        stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        stopBits = QSerialPort::TwoStop;
    else
        return false;

    // An open adapter may refuse the rate: then Qt keeps the one it had, and so does the line.
    if (!(m_setRateForTest ? m_setRateForTest(*m_port, baud) : m_port->setBaudRate(baud)))
        return false;
    m_port->setParity(parity);
    m_port->setDataBits(QSerialPort::DataBits(dataBits));
    m_port->setStopBits(stopBits);
    return true;
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
    if (m_port->portName().isEmpty() || m_port->isOpen())
        return;
    m_received.Reset();
    if (!QtLockIsSafe(m_device)) {
        m_refusal = Refusal::BadLock;
        return;
    }
    if (OpenOffThread()) {
        // Kept past a loss: the adapter to wait for. A program that has the port open as
        // well may talk to the module too.
        m_identity = IdentityOf(m_device, QSerialPortInfo::availablePorts());
        emit opened();
        return;
    }
    if (m_refusal == Refusal::Stalled)
        return;
    if (m_port->error() == QSerialPort::DeviceNotFoundError && PortsNamed())
        m_refusal = Refusal::Missing;
    if (m_port->error() != QSerialPort::PermissionError)
        return;
    // Qt reports a device the user may not open and one that another program holds
    // (its lock file, or exclusive use) alike; the file's access rights tell them apart.
    const bool mayUse = ::access(QFile::encodeName(m_device).constData(), R_OK | W_OK) == 0;
    m_refusal = mayUse ? Refusal::InUse : Refusal::NoPermission;
}

std::optional<PortHolder> SerialPort::Holder() const
{
    // Looked for when asked, since it reads every process's open files: the search asks
    // once a port, and a wait that retries a refused adapter never does.
    if (m_port->isOpen() || m_refusal == Refusal::InUse)
        return FindHolder(m_device);
    return std::nullopt;
}

bool SerialPort::IsOpen() const
{
    return m_port->isOpen();
}

void SerialPort::ClearBuffers()
{
    if (!m_port->isOpen())
        return;
    // What gathers or is held back goes too: none of it is announced any more.
    StopGathering();
    m_quiet.stop();
    m_received.Reset();
    m_port->clear(QSerialPort::AllDirections);
}

void SerialPort::Write(const QString &text)
{
    WriteBytes(text.toUtf8());
}

void SerialPort::WriteBytes(const QByteArray &bytes)
{
    if (!m_port->isOpen())
        return;
    // What came before the command is not its reply: take it in now, and the reply at once.
    DeliverGathered();
    m_sinceWrite.start();
    m_port->write(bytes);
}

QString SerialPort::Read()
{
    m_lastRead.clear();
    if (!m_port->isOpen())
        return QString();
    if (m_gather.isActive())
        StopGathering(); // whatever gathered is read now
    m_lastRead = m_port->readAll();
    QString text = m_received.Decode(m_lastRead);
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
    const qint64 baud = std::max(1, m_port->baudRate());
    return int(
        std::max<qint64>(MinimumMs, (Characters * BitsPerCharacter * 1000 + baud - 1) / baud));
}

void SerialPort::onReadyRead()
{
    // Reads that follow each other closely are a stream.
    const bool streaming = m_sinceRead.isValid() && m_sinceRead.elapsed() < 2 * GatherMilliseconds;
    m_sinceRead.start();
    if (m_gather.isActive())
        return; // its end announces these bytes too
    const bool justWrote
        = m_sinceWrite.isValid() && m_sinceWrite.elapsed() < AfterWriteMilliseconds;
    const qint64 available = m_port->bytesAvailable();
    if (available > FloodAbove)
        m_sinceFlood.start();
    const bool flood = m_sinceFlood.isValid() && m_sinceFlood.elapsed() < FloodMilliseconds;
    if (streaming && !m_readAtOnce && !justWrote && !flood && available < GatherBelow) {
        // QSerialPort takes no more from the line once its buffer holds what is there now:
        // the next bytes wait in the system's buffer, and nothing wakes the tool for them.
        m_port->setReadBufferSize(std::max<qint64>(1, available));
        m_gather.start(GatherMilliseconds);
        return;
    }
    notify(CommEvent::Receive);
}

void SerialPort::StopGathering()
{
    m_gather.stop();
    m_port->setReadBufferSize(0); // no limit: it reads the line again
}

void SerialPort::DeliverGathered()
{
    if (!m_gather.isActive())
        return;
    StopGathering();
    notify(CommEvent::Receive);
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
    if (m_closingOnError || !m_port->isOpen())
        return;
    m_closingOnError = true;
    DeliverGathered();
    ReleaseHeld();
    m_port->close();
    m_closingOnError = false;
    notify(CommEvent::Error);
    emit deviceLost();
}
