// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "enginestate.h"
#include "sequence.h"

#include <QCoreApplication>
#include <QTimer>

#include <functional>

class CommandEngine;
class Notice;
class SerialLink;

// Runs the operator's sequence, a step at a time, paced by a timer of its own:
// - "send" goes out as a hand-typed command does (echoed, the engine in its manual mode),
//   with its values put in and the command box's line ending unless written exactly;
// - "expect" waits until what arrived since the step began holds the text or matches the
//   pattern, and fails when its time runs out or the module refuses ("maybe" goes on when
//   its time runs out);
// - "wait" pauses.
// Its progress is told at each step. It ends with a notice: done, with what the module's
// answers said of its pairing, or the step that failed, what it waited for and what came
// instead, a refusal code explained. A value not known yet fails it before anything is
// sent. A lost port, Stop() or a query or update started ends it. Each check costs the text
// since the step began.
class SequenceRunner
{
    Q_DECLARE_TR_FUNCTIONS(SequenceRunner)

public:
    static constexpr int TickMs = 10;

    SequenceRunner(EngineState &state,
                   SerialLink &port,
                   CommandEngine &engine,
                   Notice &notice,
                   std::function<qint64()> clock);

    // The command box's line ending, as bytes.
    void SetLineEnding(std::function<QByteArray()> ending) { m_lineEnding = std::move(ending); }
    // The module's own address and the kept one in its comma form, for {addr} and {bind}.
    void SetValues(std::function<QString()> address, std::function<QString()> bind)
    {
        m_address = std::move(address);
        m_bind = std::move(bind);
    }
    // Told of each command sent, as the command box tells of a hand-typed one.
    void SetSentHook(std::function<void(const QByteArray &)> sent) { m_sent = std::move(sent); }
    // Told at each step: "序列 配对：第 3 步，共 8 步 · expect OK".
    void SetProgress(std::function<void(const QString &)> progress)
    {
        m_progress = std::move(progress);
    }

    // False, starting nothing, while a query or update runs or the port is closed.
    bool Start(const QString &name, const QList<SequenceStep> &steps);
    void Stop();
    // The timer's tick (tests call it); it also follows the port and the engine.
    void Follow();
    bool Running() const { return m_index >= 0; }
    // The step's text with its values as they are now; `missing` names one not known yet.
    QString Value(const SequenceStep &step, QString *missing) const;
    // Whether the last run ended with its last step done.
    bool EndedDone() const { return m_endedDone; }

private:
    void Begin(qint64 now);
    void Fail(const QString &why);
    void End(const QString &text, bool done);
    QString StepText(const SequenceStep &step) const;

    EngineState &m_state;
    SerialLink &m_port;
    CommandEngine &m_engine;
    Notice &m_notice;
    std::function<qint64()> m_clock;
    std::function<QByteArray()> m_lineEnding;
    std::function<QString()> m_address;
    std::function<QString()> m_bind;
    std::function<void(const QString &)> m_progress;
    std::function<void(const QByteArray &)> m_sent;
    QTimer m_timer;

    QString m_name;
    QList<SequenceStep> m_steps;
    int m_index = -1; // the running step, -1 while none
    qint64 m_began = 0; // when it began
    qint64 m_mark = 0; // ReplyStore::Appended() then
    int m_portNumber = 0;
    QString m_lastSent; // the last command, as sent
    QString m_heard; // the answers the steps waited for
    bool m_endedDone = false;
};
