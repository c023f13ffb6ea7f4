// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "seriallink.h"
#include "utf8stream.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>

// The serial port Uart1 over QSerialPort. Text is UTF-8 both ways; a character split
// across two reads arrives whole. One cut off for good (the line paused longer than
// finishing it takes, or the port closed or was lost) arrives as U+FFFD, in a receive
// notification of its own.
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
    void SetLine(const QString &settings) override;
    void SetReceiveThreshold(int characters) override;
    void SetTextMode() override;
    void Open() override;
    bool IsOpen() const override;
    Refusal LastRefusal() const override { return m_refusal; }
    void ClearBuffers() override;
    void Write(const QString &text) override;
    QString Read() override;
    CommEvent LastEvent() const override { return m_lastEvent; }

    // The device of the port number selected last, open or not (a lost port's too).
    QString Device() const override { return m_device; }

signals:
    // A port event happened; LastEvent tells which kind.
    void commEvent();
    // The device went away while open (cable pulled, far end of a pty closed);
    // the port has been closed.
    void deviceLost();

private:
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void notify(CommEvent event);
    void ReleaseHeld();
    int QuietGap() const;
    void GatherNext();

    // In a stream, after a read of fewer bytes than this, the next waits
    // GatherMilliseconds: about a frame of the console, and well inside the quiet gap.
    static constexpr qint64 GatherBelow = 1024;
    static constexpr int GatherMilliseconds = 30;

    QSerialPort m_port;
    Utf8Stream m_received;
    QTimer m_quiet; // runs while the end of the last read is held back
    QTimer m_gather; // runs while the next bytes gather
    QPointer<QSocketNotifier> m_readNotifier; // QSerialPort's, paused while bytes gather
    qint64 m_lastRead = 0; // bytes read in this receive notification
    QElapsedTimer m_sinceRead;
    bool m_releaseDue = false;
    CommEvent m_lastEvent = CommEvent::None;
    QStringList m_ports;
    QString m_device;
    int m_number = 0;
    bool m_closingOnError = false;
    Refusal m_refusal = Refusal::None;
};
