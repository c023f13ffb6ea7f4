// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class ConsoleView;

// What screen readers and UI automation read of the console: its whole text (controls as
// their pictures), the caret, the selection, the display rows as lines, and the colour of
// each run, which tells a command from a reply.
void InstallConsoleAccessible();

// Qt's accessibility counts in int; a longer session is cut at its limit.
int AccessibleOffset(qsizetype pos);

// The events a screen reader follows, sent only while one listens.
void NotifyTextInserted(ConsoleView *view, qsizetype from);
void NotifyTextRemoved(ConsoleView *view, const QString &removed);
void NotifyCaretMoved(ConsoleView *view);
void NotifySelectionChanged(ConsoleView *view);
