#pragma once

#include "enginestate.h"

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
    void StartUpdate(); // "更新模块信息"
    // "发 送 命 令": text as typed, line breaks already as CR LF.
    void SendManual(const QString &text);

    void OnTick(); // every 10 ms
    void OnReceive(); // every port notification
    // The device went away while open (the port is already closed): a running sequence
    // is abandoned with the port warning, and the next search tries the lost port first.
    void OnPortLost();

    void Advance(int lastStep);
    void SendLine(const QString &line, QColor colour);
    void ShowPortError();

    void SetWarningBox(WarningBox &warning) { m_warning = &warning; }

private:
    void Start(const QString &mode);
    void SendStep(const QString &line, QColor colour);
    void AbandonSequence();

    EngineState &m_state;
    SerialLink &m_port;
    ConsoleSink &m_console;
    SettingsFields &m_fields;
    WarningBox *m_warning;
};
