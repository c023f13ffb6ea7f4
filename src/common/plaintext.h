// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTextDocument>

// Outside text (a module's reply, a process, device or file name, a file's contents) where
// Qt reads a text that looks like markup as markup: a tooltip, a message box's informative
// text. Such a text is given as markup that shows it as it is.
inline QString AsPlainText(const QString &text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}
