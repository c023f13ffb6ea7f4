// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the CPU time the receive path takes for a reply that never completes: a module
// streaming data after a hand-typed command, then a start action, 1 MiB in 64-byte chunks;
// and what the simulated module's line splitter takes for one long line fed a byte at a time.
// Usage: bench_replies [KiB]   (default 1024)

#include "engine/commandengine.h"
#include "fakes.h"
#include "modulecore.h"

#include <cstdio>
#include <ctime>

namespace {

double CpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double Stream(bool query, qsizetype total)
{
    EngineState state;
    FakePort port;
    FakeConsole console;
    FakeFields fields;
    FakeWarning warning;
    CommandEngine engine(state, port, console, fields, warning);
    query ? engine.StartQuery() : engine.StartUpdate();
    // No "OK" and no "ERROR" anywhere, so neither completion test ever succeeds.
    const QString chunk
        = QStringLiteral("+DATA:") + QString(57, QLatin1Char('7')) + QLatin1Char('\n');
    const double start = CpuSeconds();
    for (qsizetype sent = 0; sent < total; sent += chunk.size()) {
        port.Deliver(chunk);
        engine.OnReceive();
        console.appended.clear();
    }
    return CpuSeconds() - start;
}

} // namespace

int main(int argc, char *argv[])
{
    const qsizetype total = (argc > 1 ? std::atol(argv[1]) : 1024) * 1024;
    std::printf("%lld KiB in 64-byte chunks, never complete:\n",
                static_cast<long long>(total / 1024));
    std::printf("  query mode  %8.3f CPU s\n", Stream(true, total));
    std::printf("  update mode %8.3f CPU s\n", Stream(false, total));

    sim::LineSplitter splitter;
    const double start = CpuSeconds();
    for (int i = 0; i < 256 * 1024; ++i)
        splitter.Feed("x");
    std::printf("simulator, one 256 KiB line a byte at a time: %.3f CPU s\n", CpuSeconds() - start);
    return 0;
}
