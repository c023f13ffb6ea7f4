// SPDX-License-Identifier: GPL-3.0-or-later
#include "portopener.h"

#include <QCoreApplication>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QWaitCondition>

namespace {

// What the window and the opening thread share; the last of them to let go frees it.
struct Opening
{
    QMutex mutex;
    QWaitCondition done;
    bool finished = false;
    bool abandoned = false;
    bool opened = false;
    std::unique_ptr<QSerialPort> port;
};

// Devices whose open still waits on a thread; touched on the window's thread only.
QSet<QString> &StalledDevices()
{
    static QSet<QString> devices;
    return devices;
}

} // namespace

PortOpener::Result
PortOpener::Open(std::unique_ptr<QSerialPort> port, const QString &device, const OpenFunction &open)
{
    if (StalledDevices().contains(device))
        return { nullptr, false, true };
    const auto opening = std::make_shared<Opening>();
    QThread *const window = QThread::currentThread();
    QThread *const thread = QThread::create([opening, open, window] {
        QSerialPort &port = *opening->port;
        const bool opened = open ? open(port) : port.open(QIODevice::ReadWrite);
        const QMutexLocker locker(&opening->mutex);
        if (opening->abandoned) {
            opening->port.reset(); // closed here, on the thread that has it
        } else {
            port.moveToThread(window); // its notifiers go with it
            opening->opened = opened;
        }
        opening->finished = true;
        opening->done.wakeAll();
    });
    // Connected before it starts, so that the end of an abandoned open is never missed.
    // An open that returned in time has its thread deleted here and now.
    QObject::connect(thread, &QThread::finished, QCoreApplication::instance(),
                     [thread = QPointer<QThread>(thread), device, opening] {
                         if (!opening->abandoned || !thread)
                             return;
                         StalledDevices().remove(device);
                         thread->deleteLater();
                     });
    port->moveToThread(thread);
    opening->port = std::move(port);
    thread->start();

    QMutexLocker locker(&opening->mutex);
    if (!opening->finished)
        opening->done.wait(&opening->mutex, StallMilliseconds);
    if (opening->finished) {
        locker.unlock();
        thread->wait();
        delete thread;
        return { std::move(opening->port), opening->opened, false };
    }
    opening->abandoned = true;
    StalledDevices().insert(device);
    return { nullptr, false, true };
}

bool PortOpener::Stalled(const QString &device)
{
    return StalledDevices().contains(device);
}
