// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The modal warning the operator sees: an exclamation icon and one OK button. The port
// search and the engine both show it; tests replace it with a recorder.
class WarningBox
{
public:
    virtual ~WarningBox() = default;
    // `informative`, when there is any, is shown below the text: the details behind it.
    virtual void
    Show(const QString &title, const QString &text, const QString &informative = QString())
        = 0;
};
