// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "enginestate.h"

#include <functional>
#include <utility>

class ConsoleSink;
class SerialLink;
class SettingsFields;
class WarningBox;

// Paces the query and update sequences, sends hand-typed commands and collects
// the module's replies. It holds no state of its own beyond the shared EngineState.
class CommandEngine
{
public:
    CommandEngine(EngineState &state,
                  SerialLink &port,
                  ConsoleSink &console,
                  SettingsFields &fields,
                  WarningBox &warning);

    void StartQuery(); // "获取模块信息"
    // "更新模块信息"; `skipped` update steps are passed over, not written.
    void StartUpdate(const QSet<int> &skipped = {});
    // "发 送 命 令": the bytes of the command box, as the operator chose them. True when
    // they went out (the port is open and there were any).
    bool SendManual(const QByteArray &bytes);

    void OnTick(); // every 10 ms
    void OnReceive(); // every port notification
    // The device went away while open (the port is already closed): a running sequence
    // is abandoned with the port warning, and the next search tries the lost port first.
    void OnPortLost();
    // The operator turned to something else (the rate finder): a running sequence ends
    // where it is, without a warning.
    void Stop();
    // The same, only while a query or an update runs.
    void StopSequence();
    // Another port, or the same one after a loss: nothing received before counts as a
    // reply (a query or update start does the same).
    void DiscardReceived();

    void Advance(int lastStep);
    void SendLine(const QString &line, QColor colour);
    void ShowPortError();

    void SetWarningBox(WarningBox &warning) { m_warning = &warning; }
    // Called after every change the engine makes to WorkMode, so that whatever depends
    // on the mode (the pacing tick) follows it without each handler remembering to.
    void SetModeWatcher(std::function<void()> watcher) { m_modeWatcher = std::move(watcher); }

private:
    void SetMode(const QString &mode);
    void Start(const QString &mode);
    void SendStep(const QString &line, QColor colour);
    void SendUpdateStep(const QString &line);
    void AbandonSequence();

    EngineState &m_state;
    SerialLink &m_port;
    ConsoleSink &m_console;
    SettingsFields &m_fields;
    WarningBox *m_warning;
    std::function<void()> m_modeWatcher;
};
