// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "seriallink.h"
#include "utf8stream.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <functional>
#include <memory>

// The serial port Uart1 over QSerialPort. Text is UTF-8 both ways; a character split
// across two reads arrives whole. One cut off for good (the line paused longer than
// finishing it takes, or the port closed or was lost) arrives as U+FFFD, in a receive
// notification of its own.
//
// Within a stream of small reads (what a USB adapter passes on at its latency tick), the
// receive notification waits about a frame so that the bytes are taken in together; a
// read after a pause, or while a reply is awaited, is announced at once.
class SerialPort : public QObject, public SerialLink
{
    Q_OBJECT

public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    void Close() override;
    void ReadPortList() override;
    void SetPortNumber(int number) override;
    int PortNumber() const override { return m_number; }
    bool SetLine(const QString &settings) override;
    int BaudRate() const override { return m_port->baudRate(); }
    void SetReceiveThreshold(int characters) override;
    void SetTextMode() override;
    void Open() override;
    bool IsOpen() const override;
    Refusal LastRefusal() const override { return m_refusal; }
    void ClearBuffers() override;
    void Write(const QString &text) override;
    void WriteBytes(const QByteArray &bytes) override;
    QString Read() override;
    QByteArray LastRead() const override { return m_lastRead; }
    CommEvent LastEvent() const override { return m_lastEvent; }

    // The device of the port number selected last, open or not (a lost port's too).
    QString Device() const override { return m_device; }
    PortIdentity Identity() const override { return m_identity; }
    std::optional<PortHolder> Holder() const override;

    // While on (a query or update runs), every read is announced at once.
    void SetReadAtOnce(bool atOnce);

signals:
    // A port event happened; LastEvent tells which kind.
    void commEvent();
    // A port opened: PortNumber, Device and BaudRate tell which, and at what rate.
    void opened();
    // The device went away while open (cable pulled, far end of a pty closed);
    // the port has been closed.
    void deviceLost();

public:
    // Opens with `open` in place of Qt's own (tests make an open wait).
    void SetOpenForTest(std::function<bool(QSerialPort &)> open)
    {
        m_openForTest = std::move(open);
    }
    // Sets the rate with `setRate` in place of Qt's own (tests play an adapter that refuses).
    void SetBaudRateForTest(std::function<bool(QSerialPort &, int)> setRate)
    {
        m_setRateForTest = std::move(setRate);
    }

private:
    void Attach();
    // Opens m_port on a thread of its own (see PortOpener); false, m_refusal set to Stalled
    // when the open did not return in time.
    bool OpenOffThread();
    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void notify(CommEvent event);
    void StopGathering();
    void DeliverGathered();
    void ReleaseHeld();
    int QuietGap() const;

    // In a stream, fewer bytes than this waiting are gathered for GatherMilliseconds:
    // about a frame of the console, and well inside the quiet gap. A flood fills its reads
    // and is announced as it comes.
    static constexpr qint64 GatherBelow = 1024;
    static constexpr int GatherMilliseconds = 30;
    // A read of more than this (the system passes at most 4 KiB a read) is a flood, over
    // 68 KB/s: gathered, it would fill the system's small buffer of a pseudo-terminal and
    // hold up the sender. For FloodMilliseconds after one, nothing is gathered.
    static constexpr qint64 FloodAbove = 2048;
    static constexpr int FloodMilliseconds = 250;
    // A reply to a hand-typed command comes soon after it: reads this long after a write
    // are announced at once.
    static constexpr int AfterWriteMilliseconds = 1000;

    std::unique_ptr<QSerialPort> m_port; // replaced by a fresh one when an open stalls
    std::function<bool(QSerialPort &)> m_openForTest;
    std::function<bool(QSerialPort &, int)> m_setRateForTest;
    Utf8Stream m_received;
    QByteArray m_lastRead;
    QTimer m_quiet; // runs while the end of the last read is held back
    QTimer m_gather; // runs while received bytes gather, in QSerialPort's buffer and the line's
    QElapsedTimer m_sinceRead; // since the last bytes arrived
    QElapsedTimer m_sinceWrite;
    QElapsedTimer m_sinceFlood; // since a read of more than FloodAbove bytes
    bool m_readAtOnce = false;
    bool m_releaseDue = false;
    CommEvent m_lastEvent = CommEvent::None;
    QStringList m_ports;
    QString m_device;
    int m_number = 0;
    bool m_closingOnError = false;
    Refusal m_refusal = Refusal::None;
    PortIdentity m_identity;
};
