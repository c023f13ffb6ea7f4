// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Another program that has a serial device: the process named in the device's lock file,
// or one that holds the device open.
struct PortHolder
{
    qint64 pid = 0;
    QString program; // its name as the system shows it (/proc/PID/comm)
};

// The lock directories of serial devices, most common first.
QStringList LockDirectories();

// Another process (never this one) that holds `device`: first by its lock file, then by an
// open file descriptor found through /proc. Nothing where the system does not tell: other
// users' processes without the right to look, or Windows.
std::optional<PortHolder> FindHolder(const QString &device,
                                     const QStringList &lockDirectories = LockDirectories());

// "ModemManager（进程 812）"
QString HolderText(const PortHolder &holder);
