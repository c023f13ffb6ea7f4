// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSerialPort>

#include <functional>
#include <memory>

// Opens a serial port on a thread of its own, so that nothing an open waits on can hold
// the window: Qt reads a lock file in a folder every user may write to, and a named pipe
// put there makes that read wait for a writer. The window waits StallMilliseconds at most;
// then the port is given up, and the thread left waiting frees it once its open returns.
// Until then the device is not tried again, so one device ties up one thread at most.
class PortOpener
{
public:
    static constexpr int StallMilliseconds = 800;
    using OpenFunction = std::function<bool(QSerialPort &)>;

    struct Result
    {
        std::unique_ptr<QSerialPort> port; // on the calling thread; null after a stall
        bool opened = false;
        bool stalled = false;
    };

    // `port` has no parent and is set to `device` (its path); `open` is
    // QSerialPort::open(ReadWrite) but in tests.
    static Result
    Open(std::unique_ptr<QSerialPort> port, const QString &device, const OpenFunction &open = {});
    // An open of `device` still waits.
    static bool Stalled(const QString &device);
};
