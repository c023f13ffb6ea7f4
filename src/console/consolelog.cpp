// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolelog.h"

#include "consolerecord.h"
#include "consolestore.h"
#include "consoletext.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#endif

ConsoleLog::ConsoleLog(const ConsoleStore &store)
    : m_store(store)
    , m_hex(store)
{
    m_timer.setInterval(WriteMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &ConsoleLog::WriteOut);
}

ConsoleLog::~ConsoleLog()
{
    // What is left is written, but a failure goes unsaid: the console is going too.
    const QSignalBlocker quiet(this);
    Stop();
}

bool ConsoleLog::Start(const QString &path, QString &reason)
{
    Stop();
    if (!Open(path, reason))
        return false;
    m_line = m_store.LineCount() - 1;
    m_written = 0;
    m_lineHex = m_hexShown;
    m_writer.Reset();
    m_unsynced = false;
    m_checked.start();
    m_timer.start();
    return true;
}

bool ConsoleLog::Open(const QString &path, QString &reason)
{
    m_path = path; // QFile forgets it when opened from a descriptor
    m_file.setFileName(path);
    const auto notPlain = [&reason] {
        reason = tr("不是普通文件");
        return false;
    };
#ifdef Q_OS_UNIX
    // A named pipe would hold the window until something read it, a device take the log
    // for good: opened without waiting, and kept only when it is a plain file.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        struct stat there = {};
        if (::stat(QFile::encodeName(path).constData(), &there) == 0 && !S_ISREG(there.st_mode))
            return notPlain(); // a pipe nobody reads, a socket
        reason = QString::fromLocal8Bit(strerror(error));
        return false;
    }
    struct stat opened = {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return notPlain();
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!m_file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFile::AutoCloseHandle)) {
        reason = m_file.errorString();
        ::close(fd);
        return false;
    }
    return true;
#else
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile())
        return notPlain();
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return true;
    reason = m_file.errorString();
    return false;
#endif
}

void ConsoleLog::Stop()
{
    if (!m_file.isOpen())
        return;
    WriteOut();
    m_timer.stop();
    m_file.close();
}

void ConsoleLog::BeforeClear()
{
    if (!m_file.isOpen())
        return;
    WriteOut();
    if (m_file.isOpen() && m_writer.LineOpen())
        Write(QStringLiteral("\n")); // the line that was arriving ends in the file
}

void ConsoleLog::AfterClear()
{
    m_line = 0;
    m_written = 0;
    m_lineHex = m_hexShown;
    m_writer.Reset();
}

void ConsoleLog::WriteOut()
{
    if (!m_file.isOpen())
        return;
    QString out;
    for (;;) {
        const ConsoleLines &lines = m_lineHex ? static_cast<const ConsoleLines &>(m_hex) : m_store;
        const qsizetype start = lines.LineStart(m_line);
        const qsizetype length = lines.LineLength(m_line);
        const bool ended = m_line + 1 < lines.LineCount();
        m_writer.Write(lines, m_lineHex, m_line, m_written, length, ended,
                       Pictured(lines.Text(start + m_written, start + length)), out);
        m_written = length;
        if (!ended)
            break;
        ++m_line;
        m_written = 0;
        m_lineHex = m_hexShown;
        if (out.size() >= TextPiece && !Write(std::exchange(out, {})))
            return;
    }
    if (!Write(out))
        return;
    if (m_unsynced) {
        if (Sync())
            CheckStillThere();
    } else if (m_checked.elapsed() + WriteMilliseconds > CheckMilliseconds) {
        CheckStillThere(); // the next tick would be too late to notice a removal in time
    }
}

bool ConsoleLog::Sync()
{
    // Handed to the system, and on to the disk: a lost machine loses no more either.
    if (!m_file.flush()) {
        Fail(m_file.errorString());
        return false;
    }
#ifdef Q_OS_UNIX
    if (::fsync(m_file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        Fail(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
#elif defined(Q_OS_WIN)
    _commit(m_file.handle());
#endif
    m_unsynced = false;
    return true;
}

void ConsoleLog::CheckStillThere()
{
    m_checked.start();
    // Written to a file that was removed, the log would only vanish with it.
#ifdef Q_OS_UNIX
    struct stat open = {};
    struct stat named = {};
    const bool there = ::fstat(m_file.handle(), &open) != 0
        || (::stat(QFile::encodeName(m_path).constData(), &named) == 0
            && named.st_ino == open.st_ino && named.st_dev == open.st_dev);
#else
    const bool there = QFileInfo::exists(m_path);
#endif
    if (!there)
        Fail(tr("文件已被删除或移走"));
}

bool ConsoleLog::Write(const QString &text)
{
    if (text.isEmpty())
        return true;
    m_unsynced = true;
    if (m_file.write(text.toUtf8()) >= 0)
        return true;
    Fail(m_file.errorString());
    return false;
}

void ConsoleLog::Fail(const QString &reason)
{
    const QString path = m_path;
    m_timer.stop();
    m_file.close();
    emit failed(path, reason);
}
