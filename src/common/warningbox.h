// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>

// The title of a box that warns ("警告"), of one that tells ("提示"), and of one that says
// a query or update has ended ("完成").
inline QString WarningTitle()
{
    return QCoreApplication::translate("Titles", "警告");
}
inline QString NoticeTitle()
{
    return QCoreApplication::translate("Titles", "提示");
}
// The title of a box that asks before it acts ("确认").
inline QString ConfirmTitle()
{
    return QCoreApplication::translate("Titles", "确认");
}
// The title of a short notice that something ended well ("完成").
inline QString DoneTitle()
{
    return QCoreApplication::translate("Titles", "完成");
}

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

// The warning that a file could not be written: what failed, then "path：reason".
inline void
ShowFileFault(WarningBox &box, const QString &text, const QString &path, const QString &reason)
{
    box.Show(WarningTitle(), text,
             QCoreApplication::translate("Titles", "%1：%2").arg(path, reason));
}
inline QString SaveFailedText()
{
    return QCoreApplication::translate("Titles", "文件保存失败！");
}
