// Prints what console appends cost on the shown window (the offscreen platform is fine),
// drawing included: the console is made to draw and the event loop runs (layout, paint)
// after every 10 appends of a line, and after every one-character append.
// - µs per append of a 40-character line at 1k, 10k, 100k and 1M lines, and the first and
//   last tenth of the whole run compared;
// - µs per one-character append within one line at 100, 1,000 and 10,000 characters, as
//   when a slow module streams without line breaks, a character a frame;
// - the peak resident memory at the end of the run.
// Usage: bench_console [lines]   (default 1000000)

#include "app/console.h"
#include "app/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextEdit>

#include <cstdio>
#include <memory>

#include <sys/resource.h>

namespace {

const QString Line = QStringLiteral("+DATA:0123456789 the quick brown fox..\n"); // 40 characters
constexpr long EventsEvery = 10;

// Draws what the console holds, then lets the window lay out and paint it.
void Draw(QApplication &app, Console &console)
{
    const auto flush = [](auto &batched) {
        if constexpr (requires { batched.Flush(); })
            batched.Flush(); // a console that batches its appends draws them now
    };
    flush(console);
    app.processEvents();
}

double Micros(const QElapsedTimer &timer, long appends)
{
    return double(timer.nsecsElapsed()) / 1000.0 / double(appends);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long total = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long tenth = total / 10;

    auto form = std::make_unique<Form1>();
    form->show();
    app.processEvents();
    Console &console = form->ConsoleView();
    std::printf("40-character lines, drawn every %ld appends:\n", EventsEvery);
    double firstTenth = 0, lastTenth = 0;
    QElapsedTimer tenthTimer;
    tenthTimer.start();
    long mark = 1000;
    QElapsedTimer markTimer;
    for (long done = 0; done < total;) {
        if (done == mark - 500)
            markTimer.start();
        console.AppendToConsole(Line, Qt::blue);
        if (++done % EventsEvery == 0)
            Draw(app, console);
        if (done == mark) {
            std::printf("  at %8ld lines: %8.1f us/append\n", mark, Micros(markTimer, 500));
            mark *= 10;
        }
        if (done == tenth) {
            firstTenth = Micros(tenthTimer, tenth);
        } else if (done == total - tenth) {
            tenthTimer.restart();
        } else if (done == total) {
            lastTenth = Micros(tenthTimer, tenth);
        }
    }
    Draw(app, console);
    std::printf("  first tenth %.1f us/append, last tenth %.1f us/append: %.2fx\n", firstTenth,
                lastTenth, lastTenth / firstTenth);
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS at %ld lines: %ld MB\n", total, usage.ru_maxrss / 1024);
    form.reset();

    form = std::make_unique<Form1>();
    form->show();
    app.processEvents();
    Console &fresh = form->ConsoleView();
    // A screen full of text above, as in use, so that every case paints the same.
    for (int i = 0; i < 50; ++i)
        fresh.AppendToConsole(Line, Qt::blue);
    Draw(app, fresh);
    std::printf("one-character appends within one line, drawn after each:\n");
    long length = 0;
    for (long at : { 100L, 1000L, 10000L }) {
        while (length < at) {
            fresh.AppendToConsole(QStringLiteral("x"), Qt::blue);
            Draw(app, fresh);
            ++length;
        }
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 50; ++i) {
            fresh.AppendToConsole(QStringLiteral("x"), Qt::blue);
            Draw(app, fresh);
        }
        length += 50;
        std::printf("  at %5ld characters: %8.1f us/append (the console line holds %d)\n", at,
                    Micros(timer, 50), form->RichTextBox1->document()->lastBlock().length() - 1);
    }
    return 0;
}
