// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class ConsoleLines;
class ConsoleView;

// What screen readers and UI automation read of the console: its text (controls as their
// pictures), the caret, the selection, the display rows as lines, and the colour of each
// run, which tells a command from a reply.
//
// Qt counts their offsets in int, and D-Bus carries no message over 128 MiB. So a reader
// sees the newest ReaderWindow characters at most, a window whose start moves forward by
// whole segments (whole lines, but for lines longer than a segment) as text arrives, and
// which always holds the caret's newest position and the end; no answer and no event
// carries more than TextPiece characters, and none ends inside a surrogate pair. A
// session shorter than the window is read whole, as it is.
inline constexpr qsizetype ReaderWindow = qsizetype(1) << 30;

void InstallConsoleAccessible();

// The end of what one answer or event carries of [from, to): at most TextPiece
// characters, never half a surrogate pair.
qsizetype PieceEnd(const ConsoleLines &lines, qsizetype from, qsizetype to);

// Where the window starts once the text has grown to the store's size; it never moves
// back from `base` but for a clear.
qsizetype ReaderBase(const ConsoleLines &store, qsizetype base);

// The first piece of the window's text, as a reader is told of it; empty while none listens.
QString ReaderTextStart(const ConsoleView *view);

// The events a screen reader follows, sent only while one listens.
// Text appended from `from`, the window having started at `oldBase` before: the text that
// left the window is announced as removed at the start (its length, not its text), then the
// new text as inserted, both in pieces.
void NotifyTextAppended(ConsoleView *view, qsizetype from, qsizetype oldBase);
// The whole text replaced (cleared, or shown in another form): the start of the old one, a
// piece, is announced as removed, and that of the new one as inserted. A reader that keeps
// its own count of characters has it wrong until it asks again: the old window told in
// pieces would be a thousand events of a million characters each at its full length,
// gigabytes on the accessibility bus for one click.
void NotifyReplaced(ConsoleView *view, const QString &removedStart);
void NotifyCaretMoved(ConsoleView *view);
void NotifySelectionChanged(ConsoleView *view);
