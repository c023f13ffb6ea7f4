// Prints what one console append costs as the console grows, on a shown window.
// Usage: bench_console [lines]   (default 200000)

#include "app/console.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextEdit>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long total = argc > 1 ? std::atol(argv[1]) : 200000;
    QTextEdit edit;
    edit.setReadOnly(true);
    edit.setUndoRedoEnabled(false);
    edit.resize(319, 414);
    edit.show();
    Console console(&edit);
    std::printf("%10s %14s\n", "lines", "us/append");
    const QString line = QStringLiteral("+NAME:TARVENIT-BT\n");
    long done = 0;
    for (long mark = 10; mark <= total; mark *= 10) {
        while (done < mark - 1000 && done < mark) {
            console.AppendToConsole(line, Qt::blue);
            ++done;
        }
        QElapsedTimer timer;
        timer.start();
        const long sample = std::min<long>(1000, mark - done);
        for (long i = 0; i < sample; ++i)
            console.AppendToConsole(line, Qt::blue);
        done += sample;
        app.processEvents();
        std::printf("%10ld %14.1f\n", done, sample ? timer.nsecsElapsed() / 1000.0 / sample : 0.0);
    }
    return 0;
}
