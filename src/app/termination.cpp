// SPDX-License-Identifier: GPL-3.0-or-later
#include "termination.h"

#include <QSocketNotifier>
#include <QWidget>

#ifdef Q_OS_WIN

// Windows asks a window program to end by closing its window, which Qt already turns
// into the operator's own close.
void CloseOnTerminationSignals(QWidget *) { }

#else

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalSocket[2] = { -1, -1 }; // [0] written by the handler, [1] read by the window

void OnTerminationSignal(int signal)
{
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalSocket[0], &byte, 1);
}

} // namespace

void CloseOnTerminationSignals(QWidget *window)
{
    if (g_signalSocket[0] < 0
        && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalSocket)
            != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalSocket[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char bytes[16];
        while (::read(g_signalSocket[1], bytes, sizeof bytes) > 0) { }
        window->close();
    });
    struct sigaction action
    {
    };
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

#endif
