// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/notice.h"
#include "enginestate.h"
#include "serial/portsearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <span>

class CommandEngine;
class SerialLink;
struct CommandFamily;

// One probe of the search: at `rate`, the query's "AT" with its line end (family null:
// this tool's own) or the family's first version query without one, answered within
// `waitMs`.
struct FinderProbe
{
    int rate;
    const char *family; // a key of the families table; null: the tool's own
    int waitMs;
};

// "查找波特率", and the look at a module that a query's first step got nothing from: on
// the open port, one probe after another of ModuleFinder::Probes(), the commonest rate and
// command family first, until one is answered. The tool's own family answers "OK" at the
// start of a line, with its line end; a module that answers "AT" with a bare "OK" is
// asked the "OK+" family's version at that rate to tell which it is. Only "AT", the
// version queries and line ends ever go out: a probe sets nothing. The port stays at the
// rate found and the baud list shows it; however else the search ends, the port goes back
// to the rate it had.
//
// A module that reads lines may be left holding a version query: unless the module found
// ends no lines, a line end goes out when the search ends on its own port. A module that
// ends a command by a pause takes whatever came in the second before as part of it, so its
// probe goes out only after PauseQuietMs without a byte.
//
// Timers pace it, so the window stays responsive. It ends at once and quietly when the
// port goes away or is searched away, and gives way when the operator starts a query, an
// update or a hand-typed command, searches or picks a rate. Its notice offers only "取消"
// while it searches; the result is a notice of its own, which closes when a query or
// update starts. The engine's receive path echoes every byte; the finder only reads the
// buffer it fills.
class ModuleFinder
{
    Q_DECLARE_TR_FUNCTIONS(ModuleFinder)

public:
    static constexpr int PauseQuietMs = 1100;
    static constexpr int ConfirmWaitMs = 400; // of the "OK+" version after a bare "OK"

    // rate and family as found (family null: the tool's own), with the version answer
    // (empty for the tool's own). `resume`: the search began from a query's silence, and
    // the module was found elsewhere than that query looked: the query may go on.
    // An update's silence never resumes it: it would write to a module the operator
    // has not read.
    using FoundHandler = std::function<void(
        int rate, const CommandFamily *family, const QString &versionAnswer, bool resume)>;

    // setStatus shows Label4's caption (the probe being tried) and tooltip; showRate
    // selects a rate in the baud list.
    ModuleFinder(const EngineState &state,
                 SerialLink &port,
                 CommandEngine &engine,
                 Notice &notice,
                 PortStatus setStatus,
                 std::function<void(int rate)> showRate,
                 FoundHandler found);

    // The operator's "查找波特率".
    void Start();
    // A query's first step got nothing: the running step is given up, and `otherwise` is
    // what the notice says when nothing else answers, or the search is cancelled.
    void StartFromSilence(const NoticeContent &otherwise);
    // The operator's "取消", or another action of the operator; nothing while not running.
    void Cancel();
    // Called after every event that may change what the finder waits on: a receive
    // notification, a change of mode, a lost port.
    void Follow();
    // The wait before or after a probe is over (the timer's end; tests call it).
    void TimedOut();

    bool Running() const { return m_index >= 0; }

    // In the order they go out.
    static std::span<const FinderProbe> Probes();
    // The longest a search takes, when nothing answers.
    static int LongestMs();

private:
    enum class Stage { Quiet, Probing, Confirming };

    void Begin(bool fromSilence, const NoticeContent &otherwise);
    bool OnOwnPort() const;
    // Stops probing, with the line end a line-reading module may need; the port stays as
    // it is.
    void End(bool lineEnd);
    void Next();
    // The probe at m_index, as it goes to this module.
    FinderProbe Current() const;
    void Probe();
    void Send(const QString &command, int waitMs);
    void Judge();
    void Found(int rate, const CommandFamily *family, const QString &answer);
    void NothingAnswered();
    void RestoreRate();
    void ShowResult(const NoticeContent &content);

    const EngineState &m_state;
    SerialLink &m_port;
    CommandEngine &m_engine;
    Notice &m_notice;
    PortStatus m_setStatus;
    std::function<void(int)> m_showRate;
    FoundHandler m_found;
    QTimer m_timer;

    int m_index = -1; // into Probes(), -1 while not searching
    Stage m_stage = Stage::Probing;
    bool m_lineOpen = false; // the last probe went out without a line end
    int m_portNumber = 0;
    int m_startRate = 0;
    bool m_fromSilence = false;
    bool m_queryWaited = false; // a query's step, not an update's, fell silent
    const CommandFamily *m_startFamily = nullptr; // of the query whose silence began it
    NoticeContent m_otherwise;
    qint64 m_mark = 0; // ReplyStore::Appended() when the probe went out
    bool m_resultShown = false; // until a query or update starts
};
