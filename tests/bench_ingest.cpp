// Drives the real tool end to end: the window and its QSerialPort on a pseudo-terminal,
// while a child process writes 2.32 MB (40,000 lines of 58 characters ending CR LF) into
// the master side as fast as the tool takes it. Prints MB/s, CPU seconds per MB and the
// resident memory after, all of the tool's own process (the writer is another process).
// Usage: bench_ingest [lines]   (default 40000)

#include "app/console.h"
#include "app/form1.h"
#include "serial/serialport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray Flood(long lines)
{
    QByteArray text;
    text.reserve(lines * 58);
    for (long i = 0; i < lines; ++i) {
        QByteArray line = QByteArray::number(qlonglong(i)).rightJustified(6, '0');
        line = "+DATA:" + line + " the quick brown fox jumps over the lazy dog";
        text += line.leftJustified(56, '.') + "\r\n";
    }
    return text;
}

// Writes everything to the master once told to go, then waits to be told to finish, so
// that no hang-up reaches the tool before it has read the last byte.
[[noreturn]] void Writer(int master, int go, int done, const QByteArray &text)
{
    char byte = 0;
    if (::read(go, &byte, 1) != 1)
        std::_Exit(1);
    for (qsizetype pos = 0; pos < text.size();) {
        const ssize_t written = ::write(master, text.constData() + pos, size_t(text.size() - pos));
        if (written <= 0)
            std::_Exit(1);
        pos += written;
    }
    [[maybe_unused]] const ssize_t got = ::read(done, &byte, 1);
    std::_Exit(0);
}

double CpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const long lines = argc > 1 ? std::atol(argv[1]) : 40000;
    const QByteArray text = Flood(lines);

    int master = -1, slave = -1;
    char name[256] = {};
    termios raw {};
    cfmakeraw(&raw);
    int go[2], done[2];
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0 || ::pipe(go) != 0
        || ::pipe(done) != 0) {
        std::perror("bench_ingest");
        return 1;
    }
    const pid_t writer = ::fork();
    if (writer == 0)
        Writer(master, go[0], done[0], text);
    ::close(master);

    QApplication app(argc, argv);
    qputenv("TARVENIT_PORTS", name);
    Form1 form;
    form.show();
    form.Command4->click();
    if (!form.Port().IsOpen()) {
        std::fprintf(stderr, "bench_ingest: the port did not open\n");
        return 1;
    }
    app.processEvents();

    // Everything has arrived when the reply buffer (the engine is idle) holds it all.
    const qsizetype expected = text.size() - lines; // carriage returns are removed
    QEventLoop loop;
    QObject::connect(&form.Port(), &SerialPort::commEvent, &loop, [&] {
        if (form.State().ReplyBuffer.size() >= expected)
            loop.quit();
    });
    const long rssBefore = ResidentKiB();
    const double cpuStart = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    [[maybe_unused]] const ssize_t sent = ::write(go[1], "g", 1);
    loop.exec();
    // Counted too: the console draws what it still holds, and the window paints it.
    while (form.ConsoleView().HasPending())
        app.processEvents(QEventLoop::WaitForMoreEvents);
    app.processEvents();
    const double seconds = wall.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpuStart;

    [[maybe_unused]] const ssize_t finished = ::write(done[1], "d", 1);
    ::waitpid(writer, nullptr, 0);
    const double megabytes = text.size() / 1e6;
    std::printf(
        "%.2f MB in %ld lines: %.2f MB/s, %.3f CPU s/MB, RSS %ld MB after (%ld MB before)\n",
        megabytes, lines, megabytes / seconds, cpu / megabytes, ResidentKiB() / 1024,
        rssBefore / 1024);
    std::printf("console: %d lines, %d characters\n", form.RichTextBox1->document()->blockCount(),
                form.RichTextBox1->document()->characterCount());
    return 0;
}
