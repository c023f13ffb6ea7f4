// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "replystore.h"

#include <QColor>
#include <QSet>
#include <QString>

struct CommandFamily;

// The engine's work modes, compared by exact, case-sensitive equality.
// "Updataing" is the module's historical spelling and is kept as it is.
inline const QString ModeIdle = QStringLiteral("IDLE");
inline const QString ModeSearching = QStringLiteral("Searching");
inline const QString ModeUpdating = QStringLiteral("Updataing");
inline const QString ModeManual = QStringLiteral("Manu");

// Console colours; every append is Arial 10 pt in one of these.
inline constexpr QRgb ColourQuery = qRgb(255, 0, 0); // query lines and hand-typed commands
inline constexpr QRgb ColourUpdate = qRgb(0, 255, 0); // update lines
inline constexpr QRgb ColourReceived = qRgb(0, 0, 255); // everything the module sends

inline constexpr int QuerySteps = 14;
inline constexpr int UpdateSteps = 9;

// The one record of engine variables, shared by every handler of the window.
// Everything runs on the window thread, so no locking is needed.
struct EngineState
{
    QString WorkMode = ModeIdle;
    qint16 StepIndex = 0;
    bool AwaitingReply = false;
    ReplyStore ReplyBuffer;
    QString LastChunk;
    qint16 LastPortTried = 0;
    // The module's version as the last query read it at its second step; the commands
    // take the forms of its firmware (FormsFor). A new query or port forgets it.
    QString ModuleVersion = QString();
    // The other command family the module on the open port was found to speak, with its
    // version answer; null for this tool's own. A search or a lost port forgets it.
    const CommandFamily *Family = nullptr;
    QString FamilyVersion = QString();
    // The update steps the running update passes over (a batch writes only what its
    // profile holds); none for the operator's update.
    QSet<int> UpdateSkipped = {};
};

// A query or an update is running: the pacing tick has work to do, and a lost port
// abandons it.
inline bool SequenceRunning(const EngineState &state)
{
    return state.WorkMode == ModeSearching || state.WorkMode == ModeUpdating;
}
