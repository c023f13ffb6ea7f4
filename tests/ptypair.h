// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal pair: the tool opens the slave by its path, the test plays the
// module on the master.
class Pty
{
public:
    Pty()
    {
        char name[256] = {};
        termios raw {};
        cfmakeraw(&raw);
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) == 0) {
            m_path = QString::fromLocal8Bit(name);
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty()
    {
        CloseMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool IsValid() const { return m_master >= 0; }
    QString Path() const { return m_path; }
    int SlaveFd() const { return m_slave; }
    int MasterFd() const { return m_master; }

    bool Write(const QByteArray &bytes) const
    {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Everything the tool has written so far.
    QByteArray ReadAvailable() const
    {
        QByteArray all;
        char buffer[4096];
        for (ssize_t got; (got = ::read(m_master, buffer, sizeof buffer)) > 0;)
            all.append(buffer, got);
        return all;
    }

    // The far end goes away, as a pulled cable would.
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    void CloseHeldSlave()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        m_slave = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1; // held so the line stays up while the tool has it closed
    QString m_path;
};
