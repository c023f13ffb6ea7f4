// SPDX-License-Identifier: GPL-3.0-or-later
#include "portholder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

#ifdef Q_OS_LINUX
QString ProgramOf(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QString(); // gone, or not ours to look at
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

std::optional<PortHolder> Holder(qint64 pid)
{
    if (pid <= 0 || pid == QCoreApplication::applicationPid())
        return std::nullopt;
    const QString program = ProgramOf(pid);
    if (program.isEmpty())
        return std::nullopt; // a stale lock, or a process we may not see
    return PortHolder { pid, program };
}

// The lock file's name for a device: "LCK.." and the name below /dev with '/' as '_',
// as serial programs (and QSerialPort) write it.
QString LockName(const QString &device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

// The number of the pseudo-terminal whose master is open as fd `fd` of process `pid`.
QString PtyIndexOf(qint64 pid, const QString &fd)
{
    QFile info(QStringLiteral("/proc/%1/fdinfo/%2").arg(pid).arg(fd));
    if (!info.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : info.readAll().split('\n')) {
        if (line.startsWith("tty-index:"))
            return QString::fromLatin1(line.mid(10).trimmed());
    }
    return QString();
}

// A lock file holds the process id in ASCII, padded or followed by more words.
qint64 LockPid(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray first = file.readLine(64).simplified();
    bool ok = false;
    const qint64 pid = first.split(' ').constFirst().toLongLong(&ok);
    return ok ? pid : 0;
}
#endif

} // namespace

QStringList LockDirectories()
{
    return { QStringLiteral("/run/lock"), QStringLiteral("/var/lock") };
}

std::optional<PortHolder> FindHolder(const QString &device, const QStringList &lockDirectories)
{
#ifdef Q_OS_LINUX
    if (device.isEmpty())
        return std::nullopt;
    const QString canonical = QFileInfo(device).canonicalFilePath();
    QStringList names { LockName(device) };
    if (!canonical.isEmpty() && LockName(canonical) != names.first())
        names << LockName(canonical);
    QSet<QString> seen; // /var/lock is usually a link to /run/lock
    for (const QString &directory : lockDirectories) {
        const QString real = QFileInfo(directory).canonicalFilePath();
        if (real.isEmpty() || seen.contains(real))
            continue;
        seen.insert(real);
        for (const QString &name : names) {
            if (auto holder = Holder(LockPid(real + QLatin1Char('/') + name)))
                return holder;
        }
    }

    if (canonical.isEmpty())
        return std::nullopt;
    // A pseudo-terminal's far end (the program that plays the module) may hold its own
    // slave open too: the process that has its master is not another user of the port.
    const QString ptyIndex
        = canonical.startsWith(QLatin1String("/dev/pts/")) ? canonical.mid(9) : QString();
    const bool isPty = !ptyIndex.isEmpty();
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : processes) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == QCoreApplication::applicationPid())
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(entry));
        bool holds = false;
        bool farEnd = false;
        for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System)) {
            const QString target = QFile::symLinkTarget(fds.filePath(fd));
            if (target == canonical)
                holds = true;
            else if (isPty && target.endsWith(QLatin1String("ptmx")))
                farEnd = farEnd || PtyIndexOf(pid, fd) == ptyIndex;
        }
        if (holds && !farEnd) {
            if (auto holder = Holder(pid))
                return holder;
        }
    }
    return std::nullopt;
#else
    Q_UNUSED(device);
    Q_UNUSED(lockDirectories);
    return std::nullopt;
#endif
}

QString HolderText(const PortHolder &holder)
{
    return QCoreApplication::translate("PortSearch", "%1（进程 %2）")
        .arg(holder.program)
        .arg(holder.pid);
}
