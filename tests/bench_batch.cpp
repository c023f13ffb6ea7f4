// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what a batch of simulated modules costs the operator: the window (offscreen)
// against `tarvenit-module-sim --series N`, each module coming as the last one's port is
// pulled and plugged back, one key for the first. For each module: how it was taken (key
// or port), the seconds from then to its verdict, and the verdict; then the record's lines.
// Usage: bench_batch [N]   (default 10; every fourth module forgets its PIN)

#include "app/batchbox.h"
#include "app/form1.h"
#include "engine/batchrun.h"
#include "serial/serialport.h"
#include "simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
    QTemporaryDir folder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
    const QString port = folder.filePath("port");
    Simulator sim({ "--series", QString::number(count), "--forgetful-every", "4", "--swap-after",
                    "0.5", "--link", port });
    qputenv("TARVENIT_PORTS", port.toLocal8Bit());
    Form1 form;
    form.show();
    form.Command4->click();
    QFile profile(folder.filePath("profile.ini"));
    if (!form.Port().IsOpen() || !profile.open(QIODevice::WriteOnly))
        return std::fprintf(stderr, "bench_batch: no simulated module\n"), 1;
    profile.write("[settings]\nNAME=BENCH-{n:03}\nPSWD=0000\n");
    profile.close();
    const QString record = folder.filePath("record.csv");
    if (!form.StartBatch(profile.fileName(), record, 1))
        return 1;
    QElapsedTimer clock;
    const char *taken = "key";
    QObject::connect(&form.Port(), &SerialPort::opened, [&] { clock.start(), taken = "port"; });
    double slowest = 0;
    std::printf("module  taken  seconds  verdict\n");
    for (int module = 1; module <= count; ++module) {
        if (module == 1)
            clock.start(), form.BatchWindow()->NextButton()->click();
        QElapsedTimer deadline;
        deadline.start();
        while (form.Batch().Done() < module && deadline.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const double seconds = clock.elapsed() / 1000.0;
        slowest = std::max(slowest, seconds);
        std::printf("%6d  %-5s  %7.2f  %s\n", module, taken, seconds,
                    qPrintable(form.BatchWindow()->Verdict()->text()));
    }
    QFile lines(record);
    lines.open(QIODevice::ReadOnly);
    std::printf("keys: 1; slowest key or port to verdict: %.2f s; passed %d of %d; record: %lld "
                "lines after its header\n",
                slowest, form.Batch().Passed(), form.Batch().Done(),
                static_cast<long long>(lines.readAll().count("\r\n") - 1));
    return 0;
}
