// Prints what one console append costs as the console grows, on the shown window, with
// the status line refreshed after every append as it is in use. Two figures per size:
// the append alone, and the append with the event loop run after it (layout and paint),
// as when each received chunk is appended.
// Usage: bench_console [lines]   (default 1000000, at least 1000)

#include "app/console.h"
#include "app/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <cstdio>

#include <sys/resource.h>

namespace {

const QString Line = QStringLiteral("+NAME:TARVENIT-BT\n");
constexpr long Sample = 500;

double MicrosPerAppend(QApplication &app, Console &console, bool runEvents)
{
    QElapsedTimer timer;
    timer.start();
    for (long i = 0; i < Sample; ++i) {
        console.AppendToConsole(Line, Qt::blue);
        if (runEvents)
            app.processEvents();
    }
    const double micros = timer.nsecsElapsed() / 1000.0 / Sample;
    app.processEvents();
    return micros;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long total = argc > 1 ? std::atol(argv[1]) : 1000000;
    Form1 form;
    form.show();
    Console &console = form.ConsoleView();
    std::printf("%10s %14s %20s\n", "lines", "us/append", "us/append+events");
    long done = 0;
    for (long mark = 1000; mark <= total; mark *= 10) {
        // Fill in batches with the event loop between them, as a long session would.
        while (done < mark - 2 * Sample) {
            console.AppendToConsole(Line, Qt::blue);
            if (++done % 1000 == 0)
                app.processEvents();
        }
        app.processEvents();
        const double plain = MicrosPerAppend(app, console, false);
        const double withEvents = MicrosPerAppend(app, console, true);
        done += 2 * Sample;
        std::printf("%10ld %14.1f %20.1f\n", done, plain, withEvents);
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s, peak memory %ld MiB\n", qPrintable(form.Label3->text()),
                usage.ru_maxrss / 1024);
    return 0;
}
