// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

struct CommandFamily;

// Hand-typed commands after which the module is not what it was: reset to its factory
// settings, its pairings gone, or out of command mode. The window asks before sending one.
//
// What the first such command among the lines of `bytes` (as they go on the line) will do,
// for the 确认 box; empty when there is none. Matched whole, in either case, each line
// with its spaces and line end trimmed.
//
// A rate command is guarded too when the module would then talk at a rate the open
// adapter cannot be set to (`accepts` says which it can), and, for the "OK+" family,
// at 1200, where that family takes no more commands. `family` is the module's, null for
// this tool's own.
QString GuardedCommandWarning(const QByteArray &bytes,
                              const CommandFamily *family = nullptr,
                              const std::function<bool(int rate)> &accepts = {});

// The rate the module talks at once it has answered the first command among `bytes` that
// moves it (a factory reset, a rate in force at once), and 0 when none does; for a rate
// in force only after a restart, `pending` is set to it instead.
int RateAfterCommand(const QByteArray &bytes, const CommandFamily *family, int *pending = nullptr);
