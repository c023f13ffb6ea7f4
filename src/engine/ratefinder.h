// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "enginestate.h"
#include "serial/portsearch.h"

#include <QCoreApplication>
#include <QTimer>

#include <functional>

class CommandEngine;
class Notice;
class SerialLink;

// "查找波特率": on the open port, sends "AT" at each rate in turn, as a query's first step
// goes out (echoed red), and stops at the first rate whose answer holds "OK" within
// WaitMilliseconds; what waited from before a probe is discarded, not credited to it.
// The port stays open at that rate and the baud list shows it; however else the search
// ends, the port goes back to the rate it had, the one the list still shows. Its notice
// offers only "取消" while it searches; the result is a notice of its own, which closes
// when a query or update starts. The engine's receive path echoes every byte; the finder
// only reads the buffer it fills.
//
// Timers pace it, so the window stays responsive. It ends at once when the port goes
// away (which keeps the rate to open again at), and gives way when the operator starts a
// query, an update or a hand-typed command, searches or picks a rate.
class RateFinder
{
    Q_DECLARE_TR_FUNCTIONS(RateFinder)

public:
    static constexpr int WaitMilliseconds = 300;

    // setStatus shows Label4's caption (the rate being tried) and tooltip; showRate
    // selects a rate in the baud list.
    RateFinder(const EngineState &state,
               SerialLink &port,
               CommandEngine &engine,
               Notice &notice,
               PortStatus setStatus,
               std::function<void(int rate)> showRate);

    void Start();
    // The operator's "取消", or another action of the operator; nothing while not running.
    void Cancel();
    // Called after every event that may change what the finder waits on: a receive
    // notification, a change of mode, a lost port.
    void Follow();
    // The wait at the rate being tried is over (the timer's end; tests call it).
    void TimedOut();

    bool Running() const { return m_index >= 0; }

private:
    // Whether the port the search began on is still open.
    bool OnOwnPort() const;
    // Stops probing; the port stays as it is.
    void End();
    // False, after ending the search quietly, when the port it works on is gone.
    bool PortStillThere();
    bool Answered() const;
    void Probe();
    void Found();
    void RestoreRate();

    const EngineState &m_state;
    SerialLink &m_port;
    CommandEngine &m_engine;
    Notice &m_notice;
    PortStatus m_setStatus;
    std::function<void(int)> m_showRate;
    QTimer m_timer;

    int m_index = -1; // into the rates tried, -1 while not searching
    int m_portNumber = 0;
    int m_startRate = 0;
    qint64 m_mark = 0; // ReplyStore::Appended() when the probe went out
    bool m_resultShown = false; // until a query or update starts
};
