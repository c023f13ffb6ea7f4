// SPDX-License-Identifier: GPL-3.0-or-later
#include "portholder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#ifdef Q_OS_LINUX
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// Far more than any lock file a serial program writes (a process id, a program and a
// host name, two ids), and than the few lines of /proc read here.
constexpr qsizetype SmallFileLimit = 4096;

// The first `limit` bytes of a regular file, read without waiting: a lock folder is open
// to every user, who may put there a FIFO (a plain open would wait for a writer for
// ever), a device or a huge file. Empty for anything but a regular file.
QByteArray ReadSmallFile(const QString &path, qsizetype limit = SmallFileLimit)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    // Looked at before the open as well: opening a device may act on it.
    if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return QByteArray();
    int fd;
    do
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return QByteArray();
    QByteArray bytes;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) { // and not swapped meanwhile
        bytes.resize(limit);
        ssize_t got;
        do
            got = ::read(fd, bytes.data(), size_t(limit));
        while (got < 0 && errno == EINTR);
        bytes.resize(got > 0 ? got : 0);
    }
    ::close(fd);
    return bytes;
}

// A lock file that QLockFile may read: none at all, or a small regular file.
bool SafeForQtLock(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return true; // none (or a dangling link): Qt creates it, or fails at once
    return S_ISREG(info.st_mode) && info.st_size <= SmallFileLimit;
}

QString ProgramOf(qint64 pid)
{
    // Empty when gone, or not ours to look at.
    return QString::fromLocal8Bit(ReadSmallFile(QStringLiteral("/proc/%1/comm").arg(pid)))
        .trimmed();
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
    const QByteArray info
        = ReadSmallFile(QStringLiteral("/proc/%1/fdinfo/%2").arg(QString::number(pid), fd));
    for (const QByteArray &line : info.split('\n')) {
        if (line.startsWith("tty-index:"))
            return QString::fromLatin1(line.mid(10).trimmed());
    }
    return QString();
}

// A lock file holds the process id in ASCII, padded or followed by more words.
qint64 LockPid(const QString &path)
{
    const QByteArray first = ReadSmallFile(path, 64).split('\n').constFirst().simplified();
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
        .arg(holder.program, QString::number(holder.pid));
}

QStringList QtLockDirectories()
{
#ifdef Q_OS_LINUX
    return { QStringLiteral("/var/lock"),
             QStringLiteral("/etc/locks"),
             QStringLiteral("/var/spool/locks"),
             QStringLiteral("/var/spool/uucp"),
             QStringLiteral("/tmp"),
             QStringLiteral("/var/tmp"),
             QStringLiteral("/var/lock/lockdev"),
             QStringLiteral("/run/lock"),
             QStandardPaths::writableLocation(QStandardPaths::TempLocation) };
#else
    return {}; // Qt takes no lock file there
#endif
}

QString QtLockFile(const QString &device, const QStringList &directories)
{
#ifdef Q_OS_LINUX
    const QString name = QLatin1Char('/') + LockName(device);
    for (const QString &directory : directories) {
        const QFileInfo info(directory);
        if (info.isReadable() && (QFile::exists(directory + name) || info.isWritable()))
            return directory + name;
    }
#else
    Q_UNUSED(device);
    Q_UNUSED(directories);
#endif
    return QString();
}

bool QtLockIsSafe(const QString &device, const QStringList &directories)
{
#ifdef Q_OS_LINUX
    const QString lock = QtLockFile(device, directories);
    // Without a place for it Qt refuses the open itself, at once.
    return lock.isEmpty()
        || (SafeForQtLock(lock) && SafeForQtLock(lock + QLatin1String(".rmlock")));
#else
    Q_UNUSED(device);
    Q_UNUSED(directories);
    return true;
#endif
}
