// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "portidentity.h"
#include "portsearch.h"

#include <QObject>
#include <QTimer>

#include <functional>

class Notice;
class SerialLink;

// After the open port's adapter went away: watches the port list for the same adapter and
// opens it again, at the rate the baud list shows then, as soon as it is back. Only the
// port comes back; whatever the loss stopped stays stopped.
class PortWatch : public QObject
{
    Q_OBJECT

public:
    // lastPortTried is the engine's LastPortTried, baudText the baud list's rate; the rest
    // as for SearchNextPort.
    PortWatch(SerialLink &port,
              qint16 &lastPortTried,
              std::function<QString()> baudText,
              PortStatus setStatus,
              Notice &shared,
              QObject *parent = nullptr);

    // The ports present now, port n at index n - 1 (PresentPorts), and the cheap sign that
    // they may have changed (PortListStamp); tests give their own. With an empty sign the
    // list is read at every poll.
    void SetPresentPorts(std::function<QList<PortIdentity>()> present,
                         std::function<QByteArray()> stamp);

    // The port was just lost: wait for its adapter.
    void Start();
    // The operator took over (a search), or the window closes.
    void Stop();
    bool IsWatching() const { return m_poll.isActive(); }
    // One look at the port list, as the timer takes it while watching.
    void Poll();

    // Often enough that the port is back well within a second of the adapter.
    static constexpr int PollMilliseconds = 250;
    // After the port list changed, it is read at every poll for this long: the system
    // names and describes a new adapter, and gives it its permissions, over a moment.
    static constexpr int SettleMilliseconds = 3000;

private:
    SerialLink &m_port;
    qint16 &m_lastPortTried;
    std::function<QString()> m_baudText;
    PortStatus m_setStatus;
    Notice &m_shared;
    std::function<QList<PortIdentity>()> m_present;
    std::function<QByteArray()> m_stamp;
    QByteArray m_lastStamp;
    int m_settlingPolls = 0; // list reads still due since the last change
    int m_found = 0; // the number it is back at, selected on the port, until the list changes
    PortIdentity m_lost;
    QTimer m_poll;
};
