// SPDX-License-Identifier: GPL-3.0-or-later
#include "portwatch.h"

#include "common/notice.h"
#include "seriallink.h"

PortWatch::PortWatch(SerialLink &port,
                     qint16 &lastPortTried,
                     std::function<QString()> baudText,
                     PortStatus setStatus,
                     Notice &shared,
                     QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_lastPortTried(lastPortTried)
    , m_baudText(std::move(baudText))
    , m_setStatus(std::move(setStatus))
    , m_shared(shared)
    , m_present([this] {
        // An adapter known only by its path is looked for by its path alone.
        return PresentPorts(m_lost.hasIds || !m_lost.serialNumber.isEmpty());
    })
    , m_stamp(PortListStamp)
{
    m_poll.setInterval(PollMilliseconds);
    connect(&m_poll, &QTimer::timeout, this, &PortWatch::Poll);
}

void PortWatch::SetPresentPorts(std::function<QList<PortIdentity>()> present,
                                std::function<QByteArray()> stamp)
{
    m_present = std::move(present);
    m_stamp = std::move(stamp);
}

void PortWatch::Start()
{
    m_shared.Close(); // the port it spoke of is gone
    m_lost = m_port.Identity();
    if (m_lost.path.isEmpty())
        return;
    // The list is read once it changes (the adapter's device goes, then comes back), not
    // before: a port that fails and yet stays listed is not opened again and again.
    m_lastStamp = m_stamp();
    m_found = 0;
    m_settlingPolls = 0;
    m_poll.start();
}

void PortWatch::Stop()
{
    m_poll.stop();
}

void PortWatch::Poll()
{
    if (!IsWatching())
        return;
    // Reading the port list costs milliseconds; its stamp costs next to nothing.
    const QByteArray stamp = m_stamp();
    if (stamp.isEmpty()) {
        m_found = 0; // no sign of change: look afresh every time
    } else {
        if (stamp != m_lastStamp) {
            m_lastStamp = stamp;
            m_settlingPolls = SettleMilliseconds / PollMilliseconds;
            m_found = 0;
        }
        if (m_settlingPolls == 0)
            return;
        --m_settlingPolls;
    }
    if (m_found == 0) {
        const QList<PortIdentity> present = m_present();
        const int n = FindAdapter(m_lost, present);
        if (n == 0)
            return;
        // Opened as the search opens a port.
        m_port.Close();
        m_port.ReadPortList();
        m_port.SetPortNumber(n);
        if (m_port.Device() != present[n - 1].path)
            return; // the list changed in between; look again at the next poll
        m_found = n;
    }
    // Until the list changes again, only the open is tried again: a new adapter's
    // permissions are set a moment after it appears. The rate is the list's at each try.
    m_port.SetLine(LineSettings(m_baudText()));
    m_port.Open();
    if (!m_port.IsOpen())
        return;
    m_poll.stop();
    m_port.ClearBuffers();
    m_lastPortTried = qint16(m_found);
    AnnouncePortOpen(m_found, m_port, m_setStatus, m_shared);
}
