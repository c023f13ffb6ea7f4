// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QLabel;
class QString;
class QWidget;

// Smallest point size a caption is shrunk to; below it text is no longer readable.
inline constexpr double MinimumPointSize = 6.0;

// Sets the label's text. Where the text is wider than the label, it is drawn in a smaller
// point size until it fits (down to MinimumPointSize), so the whole text is shown and
// the label keeps its place and size.
void SetWholeText(QLabel *label, const QString &text);

// The same for the caption a label, button or option already holds.
void FitCaption(QWidget *control);
