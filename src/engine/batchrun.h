// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "batch.h"
#include "enginestate.h"

#include <QCoreApplication>

#include <functional>
#include <map>
#include <memory>

class CommandEngine;
class SerialLink;
class SettingsFields;

// A batch at the bench: one profile written into module after module, each read first,
// read back after and recorded. For each module it runs the engine's own query, the
// update of what the profile holds (only that: a setting the profile leaves out is not
// written) and the query again, following the engine's mode after each of its events:
//
// - before writing, a module whose address this record already passed is written again
//   only when the operator says so;
// - the name and PIN take the profile's templates for this module (its counter and
//   address); the counter moves on only when a module passes;
// - the record's line is on disk before the verdict is shown;
// - a stop while writing records the module as half written.
// Every event costs a pass over the nine settings at most.
class BatchRun
{
    Q_DECLARE_TR_FUNCTIONS(BatchRun)

public:
    BatchRun(EngineState &state, SerialLink &port, CommandEngine &engine, SettingsFields &fields);

    // Shows the verdict (the record's line is written): its text, and whether it passed.
    void SetVerdictShower(std::function<void(const QString &verdict, bool passed)> show)
    {
        m_showVerdict = std::move(show);
    }
    // Asks whether a module this record passed already is to be written again.
    void SetRepeatAsk(std::function<bool(const QString &address)> ask)
    {
        m_askRepeat = std::move(ask);
    }
    // What a module is read as in the record: its family's caption and the port's device.
    void SetDescriber(std::function<QString()> family, std::function<QString()> device)
    {
        m_family = std::move(family);
        m_device = std::move(device);
    }

    // `profile`: by update step, the values to write (templates for the name and PIN).
    void Start(std::map<int, QString> profile, int counter, std::unique_ptr<BatchRecord> record);
    // The next module: at the operator's key, or as its port appears. Nothing while one is
    // under way or no batch runs.
    void Next();
    // Ends the batch; a module being written is recorded as half written.
    void Stop();
    // After every event that may move the engine: a change of mode, a tick.
    void Follow();

    bool Running() const { return m_record != nullptr; }
    bool Busy() const { return m_phase != Phase::Waiting; }
    int Counter() const { return m_counter; }
    int Passed() const { return m_passed; }
    int Done() const { return m_done; }
    const BatchRecord *Record() const { return m_record.get(); }

private:
    enum class Phase { Waiting, Reading, Writing, ReadingBack };

    void Read();
    void Write();
    void Judge();
    void Finish(BatchEntry::Result result, const QStringList &differences);
    bool Completed(int lastStep) const;

    EngineState &m_state;
    SerialLink &m_port;
    CommandEngine &m_engine;
    SettingsFields &m_fields;
    std::function<void(const QString &, bool)> m_showVerdict;
    std::function<bool(const QString &)> m_askRepeat;
    std::function<QString()> m_family;
    std::function<QString()> m_device;

    std::map<int, QString> m_profile;
    std::unique_ptr<BatchRecord> m_record;
    int m_counter = 1;
    int m_passed = 0;
    int m_done = 0;
    Phase m_phase = Phase::Waiting;
    bool m_started = false; // the engine took the phase's sequence
    BatchEntry m_entry;
    std::map<int, QString> m_written; // this module's values, by update step
    QString m_name; // this module's name as written
};
