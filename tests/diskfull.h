// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>

// While one lives, a write that would make any file of this process larger than `bytes`
// fails (EFBIG) as on a full disk, for plain files as the tool writes them.
class DiskFull
{
public:
    explicit DiskFull(rlim_t bytes = 0)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_was);
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit full { bytes, m_was.rlim_max };
        ::setrlimit(RLIMIT_FSIZE, &full);
    }
    ~DiskFull()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_was);
        std::signal(SIGXFSZ, m_signal);
    }
    DiskFull(const DiskFull &) = delete;
    DiskFull &operator=(const DiskFull &) = delete;

private:
    rlimit m_was {};
    void (*m_signal)(int) = nullptr;
};
#endif
