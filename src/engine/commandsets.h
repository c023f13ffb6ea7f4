// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/notice.h"
#include "enginestate.h"

#include <QCoreApplication>
#include <QTimer>

class CommandEngine;
class SerialLink;

// Two other command sets are common on the same benches, and neither ends a command or a
// reply with a line break, so a module that speaks one never answers the query. When a
// step got nothing at all, or only the query's "AT" was answered, the search asks each
// family's version query in turn, without a line end, at the rate in use, and waits
// SilenceMs after each: a family is recognised by its answer, and the notice then says
// what the module speaks and how to talk to it from the command box. Only the version
// queries go out, and at every end of the search a line end, so that a module that reads
// lines is not left holding a probe in front of its next command; nothing is ever set.
//
// The running step is given up first: the probes' answers must not complete it. A timer
// paces the search (under 3 s), so the window stays responsive. The notice says what it
// would have said, that the search runs, and offers its own button ("查找波特率", which
// ends the search first) or else "取消"; a start button or a hand-typed command ends it
// too (the line end goes out before what they send), and a lost or searched-away port
// ends it quietly, with no line end to the port. The notice it leaves closes when
// a query or update starts.
class CommandSetSearch
{
    Q_DECLARE_TR_FUNCTIONS(CommandSetSearch)

public:
    static constexpr int SilenceMs = 1200;

    CommandSetSearch(const EngineState &state,
                     SerialLink &port,
                     CommandEngine &engine,
                     Notice &notice);

    // `otherwise` is what the notice says when no family answers, or the search is cancelled.
    void Start(const NoticeContent &otherwise);
    // The operator's "取消".
    void Cancel();
    // Called after every event that may change what the search waits on: a receive
    // notification, a change of mode, a lost port.
    void Follow();
    // The silence after a probe is over (the timer's end; tests call it).
    void TimedOut();

    bool Running() const { return m_index >= 0; }

private:
    bool OnOwnPort() const;
    void End();
    void Probe();
    void Recognised(std::size_t family, const QString &answer);
    void ShowResult(const NoticeContent &content);

    const EngineState &m_state;
    SerialLink &m_port;
    CommandEngine &m_engine;
    Notice &m_notice;
    QTimer m_timer;

    NoticeContent m_otherwise;
    int m_index = -1; // the family whose probe went out last, -1 while not searching
    int m_portNumber = 0;
    qint64 m_mark = 0; // ReplyStore::Appended() when the probe went out
    bool m_resultShown = false; // until a query or update starts
};
