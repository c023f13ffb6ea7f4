// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "enginestate.h"
#include "seams.h"
#include "stepwatch.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <set>

// Where the panel's values came from, and what the module on the open port made of the
// last update. It stands between the engine and the panel: the query writes the fields
// through it, so it knows which settings the module answered; and it follows the engine
// state after each of the engine's events, so it sees a query end and each update step
// go out. The window tells it the rest: a port searched or lost, the panel cleared,
// loaded from a file, bound to a kept address, or edited by the operator.
//
// It holds at most a few values for each of the nine writable settings; every
// operation costs a pass over them at most.
class PanelOrigin : public SettingsFields
{
    Q_DECLARE_TR_FUNCTIONS(PanelOrigin)

public:
    PanelOrigin(const EngineState &state, SettingsFields &panel);

    // The panel's fields, passed through.
    QString Text1(int index) const override;
    void SetText1(int index, const QString &text) override;
    bool Option(int number) const override;
    void SetOption(int number, bool on) override;
    QString Text1Caption(int index) const override;
    QString GroupCaption(int number) const override;
    QString OptionCaption(int number) const override;

    // After every event that may move the engine in a way it notes: a tick (an update
    // step goes out), a change of mode.
    void Follow();

    // The port was closed by a search (whatever it opened then), or went away; `from` is
    // the number of the port it was, 0 when none was open.
    void PortSearched(int from = 0);
    void PortLost(int from = 0);
    // The number of the port whose module the panel's values were read from, while that
    // module is no longer the one on the open port (it was searched away or lost since);
    // 0 when they are this port's, or were cleared or loaded from a file since.
    int ValuesFromPort() const { return m_valuesFrom; }
    // Runs at every change of where the values came from.
    void SetOriginWatcher(std::function<void()> watcher) { m_originWatcher = std::move(watcher); }
    // Ends the running query: a load or a bind takes its place, and what the query still
    // read would overwrite what was put into the panel.
    void SetQueryStopper(std::function<void()> stop) { m_stopQuery = std::move(stop); }
    // The panel was emptied, filled from a file, or bound to an address (its settings
    // changed each told as edited); the operator edited the setting that update step
    // `step` writes.
    void Cleared();
    void Loaded(const QString &file);
    void Bound(const QString &address);
    void Edited(int step);

    // Whether each of the nine settings holds what the module on this port answered at a
    // query that completed since the port was opened, changed since by the operator's
    // own edits at most. WhyNot says, in a sentence each, why not; empty when it does.
    bool FromCompleteQuery() const { return WhyNot().isEmpty(); }
    QStringList WhyNot() const;

    // What the module on this port answered for the setting of update step `step` at
    // the last query that read it; nothing when no query on this port did.
    std::optional<QString> Answered(int step) const;
    // The module's own address as the last query read it, empty when none did; its
    // version as the last query on this port read it.
    QString AddressRead() const { return m_addressRead; }
    // The same while the port it was read on stays: empty after a change of port.
    QString AddressReadHere() const { return m_addressPort == m_port ? m_addressRead : QString(); }
    QString VersionRead() const { return m_versionRead; }
    // When the last complete query on this port ended; invalid when none did.
    QDateTime ReadAt() const { return m_readAt; }

    // What the last query found of the update before it: how many settings that update
    // wrote, and each one the module did not keep, as "设备名称（写入 X，模块回答 Y）". Only
    // for a complete query after a whole update of the module on this port; nothing else.
    std::optional<ReadBack> LastReadBack() const { return m_readBack; }

    // By update step: the settings that the query after an update found other than
    // written, each with its tooltip "写入：X，模块回答：Y". watcher runs at every change.
    const std::map<int, QString> &Marks() const { return m_marks; }
    void SetMarksWatcher(std::function<void()> watcher) { m_marksWatcher = std::move(watcher); }

private:
    enum class Reading { Nothing, Running, Unfinished, Complete, Cleared };
    enum class PortSince { Same, Lost, Searched };

    void PortChanged(PortSince why, int from);
    void QueryEnded();
    void MarkDifferences();
    void JudgeReadBack(const std::set<int> &read);
    void SetMarks(std::map<int, QString> marks);
    void SetValuesFrom(int port);
    void StopRunningQuery();

    const EngineState &m_state;
    SettingsFields &m_panel;
    std::function<void()> m_marksWatcher;
    std::function<void()> m_originWatcher;
    std::function<void()> m_stopQuery;
    int m_valuesFrom = 0;
    bool m_read = false; // the panel holds values a query on this port read

    QString m_mode; // the engine's as last followed
    int m_port = 0; // counts the ports opened (or tried): what was read belongs to one
    int m_queryPort = 0; // the port the running query began on
    Reading m_reading = Reading::Nothing;
    PortSince m_since = PortSince::Same;
    QString m_file; // the panel was loaded from it since the last complete query
    QString m_bound; // the panel was bound to it since the last complete query
    std::set<int> m_touched; // steps whose settings the running query wrote
    std::map<int, QString> m_answered; // by step, on this port
    QString m_addressRead;
    int m_addressPort = 0; // the port it was read on
    QString m_versionRead;
    QDateTime m_readAt;
    std::map<int, QString> m_written; // by step, what the last update on this port sent
    bool m_updateWhole = false; // that update went to its last step
    std::optional<ReadBack> m_readBack;
    std::map<int, QString> m_marks;
};
