// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "enginestate.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <functional>

class Notice;
class SerialLink;
class SettingsFields;

// Rates these modules commonly run at: the command mode often at the first, the data mode
// at the second (or at a rate the user set).
inline constexpr int CommandModeRate = 38400;
inline constexpr int DataModeRate = 9600;

// What the operator checks when the module does not answer, with the rate in use.
QString CheckList(int rate);

// Watches, beside the engine, the step that a running query or update waits on, from the
// engine state alone:
// - a step whose reply is not complete two seconds after its command gets one notice,
//   which says what came back since the command; it closes when the step is no longer
//   awaited (a late reply completed it, a start button restarted, the port went away);
// - an update that ends with steps answered "ERROR" gets a notice that lists them.
// Hand-typed commands and the idle engine are never watched.
class StepWatch
{
    Q_DECLARE_TR_FUNCTIONS(StepWatch)

public:
    static constexpr qint64 PatienceMs = 2000;

    // findRate runs when the operator presses the notice's "查找波特率".
    StepWatch(const EngineState &state,
              const SerialLink &port,
              const SettingsFields &fields,
              Notice &notice,
              std::function<void()> findRate);

    // Called after every event that may move the engine (a tick, a receive notification,
    // a change of mode), with a time in milliseconds.
    void Follow(qint64 now);

private:
    struct Refused
    {
        int step;
        QString reply;
    };

    void StartWatching(qint64 now);
    void StopWatching();
    void StepCompleted();
    void ShowUnanswered();
    void ShowRefusals();

    const EngineState &m_state;
    const SerialLink &m_port;
    const SettingsFields &m_fields;
    Notice &m_notice;
    std::function<void()> m_findRate;

    bool m_watching = false;
    QString m_mode;
    int m_step = 0;
    QString m_command; // as sent, without its line end
    qint64 m_sentAt = 0;
    qint64 m_mark = 0; // ReplyStore::Appended() when the command went out
    qint64 m_completed = 0; // ReplyStore::Completed() then
    bool m_noticeShown = false;

    int m_lastUpdateStep = 0;
    QList<Refused> m_refused; // by the update running or just ended
};
