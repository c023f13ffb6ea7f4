// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what the console costs on the shown window, drawing included (run it under
// Xvfb with QT_QPA_PLATFORM=xcb for a real window, or on the offscreen platform):
// - µs per append of a 58-character line at 1k, 10k, 100k and 1M lines, drawn every 10
//   appends, and the first and last tenth of the run compared;
// - at the end of the run, how long a click on a line, Ctrl+End, Page Down, switching to the
//   hex form and back, and "清 空 显 示" take from the event to the painted window, against a
//   frame of 16.7 ms; and how long a search through every line takes, in either form;
// - µs per one-character append within one line of 1,000 to 1,000,000 characters, drawn
//   after each, as when a module streams without line breaks, as text and in hex;
// - the peak resident memory.
// Usage: bench_console [lines]   (default 1000000)

#include "app/form1.h"
#include "console/consolefind.h"
#include "console/consoleview.h"
#include "console/framebatcher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

#include <cstdio>
#include <memory>

#include <sys/resource.h>

namespace {

// The width of the flood in the console benchmark of the real window.
const QString Line = QStringLiteral("000000 0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLM\n");
// Its bytes as a module sends them: the engine takes the CR out of the text.
const QByteArray LineBytes = "000000 0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLM\r\n";
constexpr long DrawEvery = 10;

void Draw(QApplication &app, FrameBatcher &console)
{
    console.Flush();
    app.processEvents();
}

double Micros(const QElapsedTimer &timer, long appends)
{
    return double(timer.nsecsElapsed()) / 1000.0 / double(appends);
}

// From the event to the painted window.
template<typename Action> void Time(QApplication &app, Form1 &form, const char *what, Action act)
{
    app.processEvents();
    QElapsedTimer timer;
    timer.start();
    act();
    form.repaint();
    app.processEvents();
    std::printf("  %-24s %6.2f ms (a frame is 16.7 ms)\n", what,
                double(timer.nsecsElapsed()) / 1e6);
}

void Key(ConsoleView *view, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(view, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(view, &release);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long total = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long tenth = std::max(1L, total / 10);

    auto form = std::make_unique<Form1>();
    form->show();
    app.processEvents();
    FrameBatcher &console = form->Batcher();
    std::printf("58-character lines, drawn every %ld appends:\n", DrawEvery);
    double firstTenth = 0, lastTenth = 0;
    QElapsedTimer tenthTimer;
    tenthTimer.start();
    long mark = 1000;
    QElapsedTimer markTimer;
    for (long done = 0; done < total;) {
        if (done == mark - 500)
            markTimer.start();
        console.Append(Line, qRgb(0, 0, 255), LineBytes);
        if (++done % DrawEvery == 0)
            Draw(app, console);
        if (done == mark) {
            std::printf("  at %8ld lines: %8.2f us/append\n", mark, Micros(markTimer, 500));
            mark *= 10;
        }
        if (done == tenth)
            firstTenth = Micros(tenthTimer, tenth);
        else if (done == total - tenth)
            tenthTimer.restart();
        else if (done == total)
            lastTenth = Micros(tenthTimer, tenth);
    }
    Draw(app, console);
    std::printf("  first tenth %.2f us/append, last tenth %.2f us/append: %.2fx\n", firstTenth,
                lastTenth, lastTenth / firstTenth);

    ConsoleView *view = form->RichTextBox1;
    std::printf("at %ld lines, from the event to the painted window:\n", total);
    Time(app, *form, "Ctrl+Home", [&] { Key(view, Qt::Key_Home, Qt::ControlModifier); });
    Time(app, *form, "Page Down", [&] { Key(view, Qt::Key_PageDown); });
    Time(app, *form, "click on a line", [&] {
        const QPoint at(60, view->viewport()->height() / 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, view->viewport()->mapToGlobal(at),
                            Qt::LeftButton, {}, {});
        QApplication::sendEvent(view->viewport(), &release);
    });
    Time(app, *form, "Ctrl+End", [&] { Key(view, Qt::Key_End, Qt::ControlModifier); });
    Time(app, *form, "十六进制显示 on", [&] { view->SetHexShown(true); });
    Time(app, *form, "十六进制显示 off", [&] { view->SetHexShown(false); });
    for (const bool hex : { false, true }) {
        view->SetHexShown(hex);
        QElapsedTimer timer;
        timer.start();
        const qsizetype found = hex
            ? FindInHex(view->Store(), QStringLiteral("0D 0D"), 0, false)
            : FindIn(view->Shown(), QStringLiteral("no such text"), 0, false);
        std::printf("  %-24s %6.1f ms (%s)\n", hex ? "find through hex" : "find through text",
                    double(timer.nsecsElapsed()) / 1e6, found < 0 ? "none, every line read" : "?");
    }
    view->SetHexShown(false);
    Time(app, *form, "清 空 显 示", [&] { form->Command3->click(); });
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS: %ld MB\n", usage.ru_maxrss / 1024);

    // As text, then in hex, where each picture lays out the line's newest segments again.
    for (const bool hex : { false, true }) {
        form->Command3->click();
        view->SetHexShown(hex);
        std::printf("one-character appends within one line%s, drawn after each:\n",
                    hex ? ", shown in hex" : "");
        long length = 0;
        for (long at : { 1000L, 10000L, 100000L, 1000000L }) {
            console.Append(QString(at - length, QLatin1Char('x')), qRgb(0, 0, 255),
                           QByteArray(at - length, 'x'));
            length = at;
            Draw(app, console);
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < 200; ++i) {
                console.Append(QStringLiteral("x"), qRgb(0, 0, 255), "x");
                Draw(app, console);
            }
            length += 200;
            std::printf("  at %7ld characters: %8.1f us/append\n", at, Micros(timer, 200));
        }
    }
    return 0;
}
