// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "enginestate.h"

#include "common/notice.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class SerialLink;
class SettingsFields;

// What a query found of the update before it: how many settings that update wrote, and
// each one the module did not keep, as the operator reads it.
struct ReadBack
{
    int written = 0;
    QStringList notKept;
};

// Rates these modules commonly run at: the command mode often at the first, the data mode
// at the second (or at a rate the user set).
inline constexpr int CommandModeRate = 38400;
inline constexpr int DataModeRate = 9600;

// What the operator checks when the module does not answer, with the rate in use.
QString CheckList(int rate);
// The caption of the button that starts a search for the rate.
QString FindRateAction();

// A line of the module's text as a notice quotes it: characters that do not print are
// shown as U+FFFD, and a long line is cut to fit the box.
QString QuoteLine(QStringView line);

// Whether the module's text holds something and reads as text: not the noise of a wrong
// rate (a stray byte beside the text still leaves it text).
bool ReadsAsText(QStringView text);

// Watches, beside the engine, the step that a running query or update waits on, from the
// engine state alone:
// - a step whose reply is not complete two seconds after its command gets one notice,
//   which says what came back since the command; it closes when the step is no longer
//   awaited (a late reply completed it, a start button restarted, the port went away).
//   Where the first step got nothing, or the query's "AT" alone was answered, the notice
//   is handed to the module finder instead, which shows it if nothing else answers;
// - an update that ends with steps answered "ERROR" gets a notice that lists them, with
//   the meaning of each refusal code;
// - a query after a whole update of the same module says whether the module kept what
//   the update wrote, and lists what it did not keep;
// - a query or update that ends otherwise says so in a fleeting notice of its own.
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

    // Where a query or update that ends is told of; without it, nothing is.
    void SetDoneNotice(Notice &done) { m_done = &done; }
    // What a query that ends found of the update before it, if it followed one; the
    // notice of its end then gives that verdict. Asked once the query has ended, after
    // whatever keeps it has followed the engine.
    void SetReadBack(std::function<std::optional<ReadBack>()> readBack)
    {
        m_readBack = std::move(readBack);
    }
    // Runs the module finder, with the notice to show if nothing else answers; without
    // it, that notice shows at once.
    void SetSilenceSearch(std::function<void(const NoticeContent &otherwise)> search)
    {
        m_searchFromSilence = std::move(search);
    }

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
    NoticeContent Silence(const QString &command) const;
    bool MayBeElsewhere() const;
    void ShowRefusals();
    void ShowDone();

    const EngineState &m_state;
    const SerialLink &m_port;
    const SettingsFields &m_fields;
    Notice &m_notice;
    std::function<void()> m_findRate;
    Notice *m_done = nullptr;
    std::function<std::optional<ReadBack>()> m_readBack;
    std::function<void(const NoticeContent &)> m_searchFromSilence;

    bool m_watching = false;
    QString m_mode;
    int m_step = 0;
    QString m_command; // as sent, without its line end
    qint64 m_sentAt = 0;
    qint64 m_mark = 0; // ReplyStore::Appended() when the command went out
    qint64 m_completed = 0; // ReplyStore::Completed() then
    bool m_noticeShown = false;

    // The sequence running or just ended, as far as it was watched.
    QString m_sequenceMode;
    int m_lastStep = 0;
    int m_attentionRate = 0; // the rate at which its "AT" was answered, 0 if not
    QList<Refused> m_refused; // by the update running or just ended
};
