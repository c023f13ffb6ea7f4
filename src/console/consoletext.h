// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// How the console shows characters, so that no byte is invisible and none rearranges a
// line:
// - a control character (C0 and DEL) but line feed and tab is drawn as its control
//   picture (U+2400 + code, U+2421 for DEL); copy and screen readers get that picture too,
//   so the text they read is never cut at a NUL;
// - a character that would be invisible or would rearrange the line (C1, the format
//   characters, line and paragraph separators, U+FDD0/FDD1) is drawn as its code point in
//   a box, and so is a received control picture, which then never passes for a control.
//   The text keeps the character itself.

// The text as the console keeps it: the CR of a CR LF pair left out, since the line
// feed after it breaks the line.
QString WithoutPairedCr(const QString &text);

// The text with every control character as its picture: what copy and screen readers get.
QString Pictured(QString text);
QChar PictureOf(QChar c);

// Whether the character is drawn as its code point in a box.
bool Boxed(char16_t c);

// Every boxed character is shown as this many hex digits.
inline constexpr int CodeDigits = 4;

// The text a segment is laid out with: controls as pictures, each boxed character as its
// hex digits, whose offsets in `text` go into `codes`.
QString Shown(const QString &text, QList<qsizetype> &codes);
