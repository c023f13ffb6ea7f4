// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "enginestate.h"

#include <QCoreApplication>
#include <QTimer>

struct OutgoingCommand;
class Notice;
class SerialLink;

// Watches a hand-typed command that went out as text without any line break. The module
// answers a command only after its line end, so when not a byte comes back within
// PatienceMs, one notice says so and points at the command box's "行尾". Any byte that
// arrives, the next command, a query or update, or the loss of the port closes it.
// A command with a line end is not watched, nor hex entry (bytes the operator spelt out).
class LineEndWatch
{
    Q_DECLARE_TR_FUNCTIONS(LineEndWatch)

public:
    static constexpr int PatienceMs = 2000;

    LineEndWatch(const EngineState &state, const SerialLink &port, Notice &notice);

    // The command went out on the open port.
    void Sent(const OutgoingCommand &command);
    // After the engine has handled a port notification.
    void OnPortEvent();
    // After every change of mode.
    void Follow();
    // The patience is over (the timer's end; tests call it).
    void TimedOut();

private:
    void Stop();

    const EngineState &m_state;
    const SerialLink &m_port;
    Notice &m_notice;
    QTimer m_timer;
    bool m_waiting = false; // for the first byte after a command without a line end
    bool m_noticeShown = false;
};
