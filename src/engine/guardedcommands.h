// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Hand-typed commands after which the module is not what it was: reset to its factory
// settings, its pairings gone, or out of command mode. The window asks before sending one.
//
// What the first such command among the lines of `bytes` (as they go on the line) will do,
// for the 确认 box; empty when there is none. Matched whole, in either case, each line
// with its spaces and line end trimmed.
QString GuardedCommandWarning(const QByteArray &bytes);
