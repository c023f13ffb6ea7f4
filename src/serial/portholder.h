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

// The folders where QSerialPort looks for its lock files, in its order.
QStringList QtLockDirectories();
// The lock file QSerialPort takes in opening `device`: in the first of `directories` that
// may be read and either holds it already or may be written to. Empty where none does.
QString QtLockFile(const QString &device, const QStringList &directories = QtLockDirectories());
// Whether QSerialPort may open `device` without hanging: Qt reads a lock file already
// there (and the ".rmlock" beside it) with an open that waits, and its first line whole.
// Lock folders are open to every user, so a FIFO there would hold the window for ever,
// and a device or a huge file fill its memory: only a small regular file, or none, is safe.
bool QtLockIsSafe(const QString &device, const QStringList &directories = QtLockDirectories());
