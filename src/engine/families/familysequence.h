// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/enginestate.h"
#include "families.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <map>

class CommandEngine;
class ConfirmBox;
class Notice;
class SerialLink;
class SettingsFields;

// The query and the update of a module of another family (EngineState::Family), read
// from the family's table: the engine's start buttons set the mode and step 1 as for this
// tool's own family, and this runs the steps instead of the engine's tables.
//
// - A command goes out whole, in one write, with the family's line end, once the answer to
//   the one before is in and the family's gap has passed.
// - An answer is whole at its line end, or once no byte came for the family's quiet time;
//   a command unanswered for the family's patience ends the sequence with a notice.
// - The query reads what the family can read. What it cannot is shown as this tool wrote
//   it to the module on this port, or left empty.
// - The update writes only what the operator filled, and of a module that reads back,
//   only what differs from its last answer; it checks each answer, refuses beforehand a
//   value the family would not take, and writes the rate last. A rate in force at once
//   moves the port at its answer; a setting in force after a restart gets a notice that
//   offers the restart (the family's command), after which the port follows a new rate.
//   Either way the module is then read again.
// Every operation costs a pass over the family's table of a few rows.
class FamilySequence
{
    Q_DECLARE_TR_FUNCTIONS(FamilySequence)

public:
    FamilySequence(EngineState &state,
                   SerialLink &port,
                   CommandEngine &engine,
                   SettingsFields &fields,
                   Notice &notice,
                   ConfirmBox &confirm,
                   std::function<qint64()> clock);

    // Selects a rate in the window's baud list when the port follows the module.
    void SetRateShower(std::function<void(int rate)> show) { m_showRate = std::move(show); }
    // Whether the open adapter can be set to a rate; every rate when not given.
    void SetRateCheck(std::function<bool(int rate)> accepts) { m_accepts = std::move(accepts); }
    void SetConfirmBox(ConfirmBox &confirm) { m_confirm = &confirm; }

    // "更新模块信息" for a module of another family: checks the panel first; false when
    // nothing was started (nothing to write, or a value refused).
    bool StartUpdate();
    // Sends the family's restart, then follows a new rate and reads the module again.
    void Restart();

    // A hand-typed command went out: one that moves the module's rate (a factory reset, a
    // rate in force at once, the restart after a rate was set) moves the port too, once
    // the module has answered it.
    void SentByHand(const QByteArray &bytes);

    // After every event that may move a sequence: a tick, a receive notification, a
    // change of mode.
    void Follow();

    // What this tool wrote this session to the module on this port, by update step (for
    // the family that cannot read it back); a new port forgets it.
    const std::map<int, QString> &Written() const { return m_written; }
    void ForgetWritten() { m_written.clear(); }

private:
    enum class Kind { Read, Write, Restart };
    struct Step
    {
        Kind kind;
        const FamilySetting *setting;
        QString line; // without the line end
        QString value; // written
    };

    void Begin();
    void SendNext(qint64 now);
    void Answered(const QString &answer, qint64 now);
    void Unanswered();
    void Finish();
    void FillUnreadable();
    QString ShownRate(const QString &answer) const;
    QString Known(const FamilySetting &row) const;
    void FollowRate(int rate);

    EngineState &m_state;
    SerialLink &m_port;
    CommandEngine &m_engine;
    SettingsFields &m_fields;
    Notice &m_notice;
    ConfirmBox *m_confirm;
    std::function<qint64()> m_clock;
    std::function<void(int)> m_showRate;
    std::function<bool(int)> m_accepts;

    QList<Step> m_plan;
    QList<Step> m_nextPlan; // the update's or the restart's, until the engine starts it
    bool m_running = false;
    qint64 m_nextAt = 0; // the next command goes out no sooner
    qint64 m_sentAt = 0;
    qint64 m_mark = 0; // ReplyStore::Appended() when the command went out
    qint64 m_seen = 0; // Appended() when a byte was last seen
    qint64 m_lastByteAt = 0;
    QStringList m_refused; // "设备名称：写入 X，模块回答 Y"
    QString m_planMode; // the mode the plan was made for
    std::map<int, QString> m_written;
    std::map<int, QString> m_lastWrites; // by the last update, which its read-back judges
    std::map<int, QString> m_read; // by update step, at the last query on this port
    bool m_restartDue = false; // the update wrote what the next start takes
    int m_pendingRate = 0; // the rate the module takes at its restart
    bool m_readAgain = false;
    bool m_readingBack = false;
    int m_followRate = 0; // of a hand-typed command, once answered
    qint64 m_followMark = 0;
    QTimer m_followTimer; // the answer's end: the port must not change under it // the query reads
                          // back what an update wrote
};
