// SPDX-License-Identifier: GPL-3.0-or-later
// tarvenit-module-sim: a stand-in for the Bluetooth module at the far end of the line.
// It serves on a new pseudo-terminal (its path is the first line of standard output)
// or on an existing device, answering the module's command set; or it plays a batch of
// modules, each on a new pseudo-terminal as an adapter plugged in after the last.

#include "airfolder.h"
#include "linerate.h"
#include "modulecore.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;
// Asked for by signal, carried out between replies by the serving loop.
volatile std::sig_atomic_t g_toggleLink = 0;
volatile std::sig_atomic_t g_powerCycle = 0;
volatile std::sig_atomic_t g_nextModule = 0;
// The link to the current pseudo-terminal, removed however the sim ends.
std::string g_link;

void OnSignal(int)
{
    g_stop = 1;
}

void OnLinkSignal(int)
{
    g_toggleLink = 1;
}

void OnPowerSignal(int)
{
    g_powerCycle = 1;
}

void OnNextSignal(int)
{
    g_nextModule = 1;
}

struct Options
{
    std::string device;
    double exitAfter = 0; // seconds; 0 runs until stopped
    int delayMs = 0;
    int chunk = 0; // 0: whole replies; -1: random sizes
    long hangupAfter = -1;
    int pauseEndsLineMs = 0; // 0: only a line feed ends a command
    bool garbage = false;
    std::string logPath;
    std::string firmware; // as the family in use names it, applied once it is known
    std::vector<std::string> settings; // KEY=VALUE, applied over the family's own
    int series = 0; // modules in the batch; 0: one module, no batch
    int forgetfulEvery = 0;
    double swapAfter = 0; // seconds of quiet after a write; 0: only on SIGUSR2
    std::string link;
    std::string air; // a folder shared with the other simulators in range; empty: none
};

// How long the port is gone when the next module of a batch takes the line, as an
// adapter pulled and another plugged in.
constexpr int SwapGapMs = 300;

// How late a command given with --late is answered: past the two seconds after which the
// tool tells the operator that a step went unanswered.
constexpr int LateMs = 2500;

const char Usage[]
    = "Usage: tarvenit-module-sim [OPTION]...\n"
      "Stand in for a serial Bluetooth module that speaks AT commands: create a\n"
      "pseudo-terminal, print its path on the first line of output, and answer the\n"
      "module's command set on it until stopped. Use the path as a port of tarvenit\n"
      "(TARVENIT_PORTS=PATH tarvenit).\n"
      "\n"
      "Options:\n"
      "  --device PATH          serve on PATH instead of a new pseudo-terminal\n"
      "  --set KEY=VALUE        start with this setting (NAME, ROLE, CLASS, PSWD, IAC, CMOD, "
      "BIND,\n"
      "                         INQM, UART, VERSION, ADDR, MRAD, STATE)\n"
      "  --delay MS             wait before each reply\n"
      "  --chunk N|random       write replies in pieces of at most N bytes, a short gap between\n"
      "  --silent CMD           never answer CMD (CMD ending in '=' or '?' matches as a prefix)\n"
      "  --error CMD            answer CMD with ERROR:(1F)\n"
      "  --hangup-after N       close the line after N commands, like a pulled cable\n"
      "  --pause-ends-line MS   also take a command after MS ms without a new byte, and\n"
      "                         answer such a command without the final line break\n"
      "  --garbage              send invalid UTF-8 and NUL bytes between replies\n"
      "  --late CMD             answer CMD 2.5 s late (CMD matches as for --silent)\n"
      "  --log FILE             record every line received and sent, with a time in ms\n"
      "  --exit-after SECONDS   stop after this long\n"
      "  --help                 print this help and exit\n"
      "  --version              print the version and exit\n"
      "\n"
      "A module that does not answer as expected:\n"
      "  --rate N               run at N baud: when the tool sets another rate on the line,\n"
      "                         take no command and answer with noise of the reply's\n"
      "                         length (bytes of 0x80 and above)\n"
      "  --no-command-mode      answer nothing, as a module in its data mode\n"
      "  --limited              a limited command mode: answer \"AT\" only\n"
      "  --mini                 the mini command mode of a firmware 3.0 board powered up\n"
      "                         without its key held: AT+INIT, AT+INQ, AT+PAIR and AT+LINK\n"
      "                         answer ERROR:(1F) until SIGHUP\n"
      "  --no-line-end          send replies without their line ends\n"
      "  --forget               acknowledge settings with OK but keep none of them\n"
      "\n"
      "A batch of modules, one after another on the same port:\n"
      "  --series N             play N modules of the classic family in turn, each with its\n"
      "                         own address (98d3:31:fd5e01, 98d3:31:fd5e02 ...), factory\n"
      "                         name (TARVENIT-BT-01 ...) and settings, and firmware 2, 3\n"
      "                         and 4 in turn. SIGUSR2 takes the next one: the\n"
      "                         pseudo-terminal is closed, as an adapter pulled, and 0.3 s\n"
      "                         later a new one serves the next module, its path printed\n"
      "                         on a new line. After the last one the line is left without\n"
      "                         a module (nothing more printed) until stopped.\n"
      "  --forgetful-every K    every K-th module of the series (K, 2K ...) answers a new PIN\n"
      "                         with OK but keeps its old one\n"
      "  --swap-after SECONDS   also take the next module once the line was quiet this long\n"
      "                         after a command that writes a setting\n"
      "  --link PATH            keep a symbolic link at PATH to the current pseudo-terminal,\n"
      "                         repointed at once at each new module, removed at the\n"
      "                         batch's end and at exit\n"
      "                         (TARVENIT_PORTS=PATH tarvenit)\n"
      "\n"
      "Other firmware and command sets:\n"
      "  --command-set pause|ok-plus\n"
      "                         speak another family's command set; neither ends a reply\n"
      "                         with a line break.\n"
      "  --firmware VERSION     the firmware of the family in use:\n"
      "                         classic (the default family): 2, 3 or 4, with its version:\n"
      "                         3.0 writes VERSION:3.0-20170601 without the plus sign,\n"
      "                         answers AT+PSWD? with +PIN:\"1234\" and takes a PIN only in\n"
      "                         quotes (ERROR:(1D) without); 4.0 refuses AT+CMODE without '?'\n"
      "                         pause: 1.5, 1.8 (the default) or 2.0\n"
      "                         ok-plus: a three-digit number, 707 by default\n"
      "  --crlf-replies         ok-plus, as from firmware 605: end a reply with CR LF when\n"
      "                         its command ended with one\n"
      "\n"
      "Two modules that see each other (classic family):\n"
      "  --air FOLDER           share a folder with other simulators, each with its own\n"
      "                         ADDR: the master finds in it the modules in range, with\n"
      "                         their PIN and role. AT+INIT starts the radio on firmware\n"
      "                         2.0 (OK, then ERROR:(17)); 3.0 starts it by itself\n"
      "                         (ERROR:(17)) and 4.0 too (ERROR). AT+INQ lists the slaves in\n"
      "                         range; AT+PAIR=NAP,UAP,LAP,T pairs with one whose PIN is\n"
      "                         this module's (OK, or FAIL; 4.0 never answers); AT+LINK=\n"
      "                         NAP,UAP,LAP links with a paired one (both then in state\n"
      "                         CONNECTED; FAIL otherwise); AT+ADCN? counts the pairing\n"
      "                         list, AT+MRAD? names the last one paired.\n"
      "\n"
      "The classic family: commands and replies end in CR LF. AT+ORGL restores the factory\n"
      "settings (role 0, PIN 1234, UART 38400,0,0, the default name, connection mode and\n"
      "bind; with --rate, it runs at 38400 from then on); AT+RMAAD clears the pairing list (MRAD "
      "0:0:0); AT+RESET answers OK and leaves\n"
      "command mode: nothing more is answered until SIGHUP.\n"
      "\n"
      "The pause family: a command is what arrives within one second of its first byte,\n"
      "answered at the end of that second; later bytes begin the next command, so one that\n"
      "takes longer is cut and not answered, nor is one with CR or LF. AT -> OK;\n"
      "AT+VERSION -> BTMODV1.8; AT+NAMEabc (1 to 20 characters) -> OKsetname; AT+PIN1234\n"
      "(4 digits) -> OKsetPIN; AT+BAUDn, n = 1..9, A, B, C for 1200, 2400, 4800, 9600,\n"
      "19200, 38400, 57600, 115200, 230400, 460800, 921600, 1382400 -> OK9600 and so on,\n"
      "the module running at once at the new rate (at another, it hears noise, as with\n"
      "--rate; before one, it answers at any rate the line runs at unless --rate is given).\n"
      "Firmware 2.0 answers OKBTMODV2.0, OKname and OKsetpin instead.\n"
      "\n"
      "The ok-plus family: a command ends after 0.1 s without a byte; a CR LF after it is\n"
      "not part of it. AT -> OK (OK+LOST when a radio link is up: it drops it);\n"
      "AT+VERR? and AT+VERS? -> BLEMOD V707; AT+NAME? -> OK+Get:abc (OK+NAME:abc below\n"
      "600); AT+PASS? -> OK+Get:000000 (OK+PASS:000000 below 540); AT+ADDR? ->\n"
      "OK+ADDR:02A5F03C7E19 (OK+LADD: below 540); AT+ROLE? and AT+BAUD? -> OK+Get:n.\n"
      "AT+NAMEabc (up to 12 characters, 13 from 544), AT+PASS123456, AT+ROLE0|1 and\n"
      "AT+BAUDn (n = 0..8 for 9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200, 230400)\n"
      "answer OK+Set:value (OK+Get:value below 540); a longer name or a PIN not of 6 digits\n"
      "gets no answer. Name, role and rate take effect at AT+RESET (-> OK+RESET): until then\n"
      "queries answer the old value; the PIN takes effect at once. A module restarted at\n"
      "1200 baud takes no command any more.\n"
      "\n"
      "Signals:\n"
      "  SIGUSR1                ok-plus: a radio link made (OK+CONN sent) or, when one is\n"
      "                         up, lost (OK+LOST sent)\n"
      "  SIGHUP                 a power cycle with the key held: back in command mode,\n"
      "                         every setting kept\n"
      "  SIGUSR2                --series: the next module\n"
      "  SIGINT, SIGTERM        stop\n";

[[noreturn]] void Fail(const std::string &message)
{
    std::fprintf(stderr, "tarvenit-module-sim: %s\n", message.c_str());
    if (!g_link.empty())
        ::unlink(g_link.c_str());
    std::exit(2);
}

class Log
{
public:
    explicit Log(const std::string &path)
    {
        if (!path.empty() && !(m_file = std::fopen(path.c_str(), "w")))
            Fail("cannot write log " + path + ": " + std::strerror(errno));
    }
    ~Log()
    {
        if (m_file)
            std::fclose(m_file);
    }

    // One record a line: milliseconds since start, a direction mark, the text with
    // control bytes and backslashes escaped.
    void Write(char mark, const std::string &text)
    {
        if (!m_file)
            return;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - m_start)
                            .count();
        std::string shown;
        for (unsigned char c : text) {
            if (c < 0x20 || c == 0x7F || c == '\\') {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
                shown += escaped;
            } else {
                shown += char(c);
            }
        }
        std::fprintf(m_file, "%lld %c %s\n", static_cast<long long>(ms), mark, shown.c_str());
        std::fflush(m_file);
    }

private:
    std::FILE *m_file = nullptr;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

void MakeRaw(int fd)
{
    termios tio {};
    if (tcgetattr(fd, &tio) != 0)
        return; // not a terminal: serve it as it is
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
}

bool WriteAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            return false;
        }
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

// Why serving a line ended.
enum class End { Stopped, Closed, NextModule };

class Server
{
public:
    // rateFd is the terminal whose line rate the tool sets (-1: not known).
    Server(const Options &options,
           sim::ModuleCore &core,
           Log &log,
           int rateFd,
           std::chrono::steady_clock::time_point deadline)
        : m_options(options)
        , m_core(core)
        , m_log(log)
        , m_rateFd(rateFd)
        , m_deadline(deadline)
    {
        if (options.air.empty())
            return;
        m_air = std::make_shared<sim::Air>();
        sim::ReadAir(options.air, *m_air);
        const sim::Air before = *m_air;
        m_core.JoinAir(m_air);
        sim::WriteAir(options.air, *m_air, before);
    }

    End Run(int fd);

private:
    bool Send(int fd, const std::string &reply);
    // Answers one command; false when the line is to be closed.
    bool Answer(int fd, const std::string &line, bool endedByPause);
    long LineRate() const { return m_rateFd >= 0 ? sim::LineRate(m_rateFd) : 0; }

    const Options &m_options;
    sim::ModuleCore &m_core;
    Log &m_log;
    int m_rateFd;
    std::chrono::steady_clock::time_point m_deadline;
    std::mt19937 m_random { 12345 };
    std::shared_ptr<sim::Air> m_air;
    long m_commands = 0;
    bool m_wrote = false; // a setting written since the line was opened
};

bool Server::Send(int fd, const std::string &reply)
{
    if (m_options.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.delayMs));
    if (m_options.garbage) {
        // Noise on a line of its own, so the module's replies still begin their lines.
        static const char noise[] = { '\xFF', '\x00', '\xC3', '\x28', '\x00', '\x80', '\r', '\n' };
        if (!WriteAll(fd, noise, sizeof noise))
            return false;
        m_log.Write('~', std::string(noise, sizeof noise));
    }
    std::size_t pos = 0;
    while (pos < reply.size()) {
        std::size_t size = reply.size() - pos;
        if (m_options.chunk > 0)
            size = std::min<std::size_t>(size, std::size_t(m_options.chunk));
        else if (m_options.chunk < 0)
            size = std::min<std::size_t>(size, 1 + m_random() % 6);
        if (!WriteAll(fd, reply.data() + pos, size))
            return false;
        pos += size;
        if (m_options.chunk != 0 && pos < reply.size())
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    std::string::size_type start = 0;
    for (auto end = reply.find("\r\n"); end != std::string::npos; end = reply.find("\r\n", start)) {
        m_log.Write('>', reply.substr(start, end - start));
        start = end + 2;
    }
    if (start < reply.size()) // a reply that ends without a line break
        m_log.Write('>', reply.substr(start));
    return true;
}

End Server::Run(int fd)
{
    sim::LineSplitter splitter;
    // The other families read a command by time, as the bytes came.
    const int commandPauseMs = m_core.CommandPauseMs();
    sim::TimedFramer framer(m_core.Family());
    const auto started = std::chrono::steady_clock::now();
    const auto elapsedMs = [&started] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - started)
            .count();
    };
    char buffer[4096];
    int pollMs = m_options.pauseEndsLineMs > 0 ? std::min(50, m_options.pauseEndsLineMs) : 50;
    if (commandPauseMs > 0) // the pause measured to within a few per cent
        pollMs = std::min(pollMs, std::max(10, commandPauseMs / 50));
    auto lastByte = std::chrono::steady_clock::now();
    while (!g_stop) {
        const auto now = std::chrono::steady_clock::now();
        if (m_options.exitAfter > 0 && now >= m_deadline)
            break;
        const bool quiet = m_wrote && m_options.swapAfter > 0
            && now - lastByte >= std::chrono::milliseconds(long(m_options.swapAfter * 1000));
        const bool asked = std::exchange(g_nextModule, 0) != 0;
        if ((asked || quiet) && m_options.series > 0) {
            m_log.Write('#', "next module");
            return End::NextModule;
        }
        if (m_options.pauseEndsLineMs > 0 && splitter.HasPending()
            && now - lastByte >= std::chrono::milliseconds(m_options.pauseEndsLineMs)) {
            const std::string line = splitter.TakePending();
            m_log.Write('<', line);
            if (!line.empty() && !Answer(fd, line, true))
                return End::Closed;
        }
        if (commandPauseMs > 0) {
            if (const auto command = framer.Take(elapsedMs());
                command && !Answer(fd, *command, false))
                return End::Closed;
        }
        if (std::exchange(g_powerCycle, 0)) {
            m_log.Write('#', "power cycle with the key held");
            m_core.PowerCycleWithKey();
        }
        if (std::exchange(g_toggleLink, 0)) {
            if (const auto notice = m_core.ToggleLink(LineRate()); notice && !Send(fd, *notice))
                return End::Closed;
        }
        pollfd pfd { fd, POLLIN, 0 };
        const int ready = ::poll(&pfd, 1, pollMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            Fail(std::string("poll: ") + std::strerror(errno));
        }
        if (ready == 0)
            continue;
        if (!(pfd.revents & POLLIN)) {
            // The far end is gone (a device that went away); nothing more to serve.
            m_log.Write('#', "line closed");
            return End::Closed;
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            m_log.Write('#', "line closed");
            return End::Closed;
        }
        lastByte = std::chrono::steady_clock::now();
        if (commandPauseMs > 0) {
            const auto command = framer.Feed(std::string(buffer, std::size_t(got)), elapsedMs());
            if (command && !Answer(fd, *command, false))
                return End::Closed;
            continue;
        }
        for (const std::string &line : splitter.Feed(std::string(buffer, std::size_t(got)))) {
            m_log.Write('<', line);
            if (!line.empty() && !Answer(fd, line, false))
                return End::Closed;
        }
    }
    m_log.Write('#', "stopped");
    return End::Stopped;
}

bool Server::Answer(int fd, const std::string &line, bool endedByPause)
{
    if (m_core.CommandPauseMs() > 0) // a timed command: the lines above log their own
        m_log.Write('<', line);
    m_wrote = m_wrote || line.find('=') != std::string::npos;
    // What the other simulators in range did since, and what this command does to them.
    sim::Air before;
    if (m_air)
        sim::ReadAir(m_options.air, *m_air), before = *m_air;
    auto reply = m_core.Reply(line, LineRate());
    if (m_air)
        sim::WriteAir(m_options.air, *m_air, before);
    if (reply) {
        if (m_core.IsDelayed(line))
            std::this_thread::sleep_for(std::chrono::milliseconds(LateMs));
        if (endedByPause && reply->size() >= 2)
            reply->resize(reply->size() - 2); // the final CR LF
        if (!Send(fd, *reply))
            return false;
    }
    if (m_options.hangupAfter >= 0 && ++m_commands >= m_options.hangupAfter) {
        m_log.Write('#', "hang-up");
        return false;
    }
    return true;
}

Options Parse(int argc, char **argv, sim::ModuleCore &core)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                Fail(arg + " needs a value");
            return argv[++i];
        };
        auto number = [&](const std::string &text) {
            char *end = nullptr;
            const double n = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || n < 0)
                Fail(arg + ": not a number: " + text);
            return n;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else if (arg == "--version") {
            std::puts("tarvenit-module-sim " TARVENIT_VERSION);
            std::exit(0);
        } else if (arg == "--device") {
            options.device = value();
        } else if (arg == "--exit-after") {
            options.exitAfter = number(value());
        } else if (arg == "--delay") {
            options.delayMs = int(number(value()));
        } else if (arg == "--chunk") {
            const std::string v = value();
            options.chunk = v == "random" ? -1 : int(number(v));
        } else if (arg == "--silent") {
            core.SilenceCommand(value());
        } else if (arg == "--error") {
            core.FailCommand(value());
        } else if (arg == "--hangup-after") {
            options.hangupAfter = long(number(value()));
        } else if (arg == "--pause-ends-line") {
            options.pauseEndsLineMs = int(number(value()));
        } else if (arg == "--late") {
            core.DelayCommand(value());
        } else if (arg == "--rate") {
            const double rate = number(value());
            if (rate < 1)
                Fail("--rate takes a baud rate");
            core.SetOwnRate(long(rate));
        } else if (arg == "--no-command-mode") {
            core.SetCommandMode(sim::CommandMode::None);
        } else if (arg == "--limited") {
            core.SetCommandMode(sim::CommandMode::AttentionOnly);
        } else if (arg == "--mini") {
            core.SetCommandMode(sim::CommandMode::Mini);
        } else if (arg == "--air") {
            options.air = value();
        } else if (arg == "--no-line-end") {
            core.DropLineEnds(true);
        } else if (arg == "--forget") {
            core.ForgetSettings(true);
        } else if (arg == "--firmware") {
            options.firmware = value();
        } else if (arg == "--crlf-replies") {
            core.SetCrLfReplies(true);
        } else if (arg == "--command-set") {
            const std::string v = value();
            if (v == "pause")
                core.SetCommandSet(sim::CommandSet::Pause);
            else if (v == "ok-plus")
                core.SetCommandSet(sim::CommandSet::OkPlus);
            else
                Fail("--command-set takes pause or ok-plus: " + v);
        } else if (arg == "--garbage") {
            options.garbage = true;
        } else if (arg == "--log") {
            options.logPath = value();
        } else if (arg == "--set") {
            options.settings.push_back(value());
        } else if (arg == "--series" || arg == "--forgetful-every") {
            const double n = number(value());
            if (n < 1 || n != int(n))
                Fail(arg + " takes a whole number from 1");
            (arg == "--series" ? options.series : options.forgetfulEvery) = int(n);
        } else if (arg == "--swap-after") {
            options.swapAfter = number(value());
        } else if (arg == "--link") {
            options.link = value();
        } else {
            Fail("unknown option " + arg + "\n" + Usage);
        }
    }
    if (options.series == 0 && (options.forgetfulEvery > 0 || options.swapAfter > 0))
        Fail("--forgetful-every and --swap-after go with --series");
    if (options.series > 0
        && (core.Family() != sim::CommandSet::Lines || !options.firmware.empty()))
        Fail("--series plays the classic family, its firmware in turn");
    if (!options.device.empty() && (options.series > 0 || !options.link.empty()))
        Fail("--series and --link make pseudo-terminals of their own, not with --device");
    // Whatever their order: the family first, then its firmware, then settings over both.
    if (!options.firmware.empty() && !core.SelectFirmware(options.firmware)) {
        const char *versions[] = { "2, 3 or 4", "1.5, 1.8 or 2.0", "a three-digit number" };
        Fail(std::string("--firmware takes ") + versions[int(core.Family())]
             + " for this command set: " + options.firmware);
    }
    for (const std::string &v : options.settings) {
        const auto equals = v.find('=');
        if (equals == std::string::npos || !core.Set(v.substr(0, equals), v.substr(equals + 1)))
            Fail("--set takes KEY=VALUE with a known key: " + v);
    }
    return options;
}

// A new pseudo-terminal: the sim's end, and the other held open. Holding it keeps the line
// up while the tool has it closed (between port searches); otherwise the sim's end would
// read as hung up.
struct Pty
{
    int fd;
    int slaveHold;
    std::string path;
};

Pty OpenPty()
{
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0)
        Fail(std::string("cannot create a pseudo-terminal: ") + std::strerror(errno));
    const char *slave = ::ptsname(fd);
    if (!slave)
        Fail("no pseudo-terminal name");
    const int slaveHold = ::open(slave, O_RDWR | O_NOCTTY);
    if (slaveHold < 0)
        Fail(std::string("cannot open ") + slave + ": " + std::strerror(errno));
    MakeRaw(slaveHold);
    return { fd, slaveHold, slave };
}

// Points the link at `target` in one step, so the tool never finds it missing or half made.
void PointLink(const std::string &target)
{
    const std::string fresh = g_link + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(target.c_str(), fresh.c_str()) != 0
        || ::rename(fresh.c_str(), g_link.c_str()) != 0)
        Fail("cannot link " + g_link + " to " + target + ": " + std::strerror(errno));
}

} // namespace

int main(int argc, char **argv)
{
    sim::ModuleCore core;
    const Options options = Parse(argc, argv, core);
    Log log(options.logPath);

    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    action.sa_handler = OnLinkSignal;
    sigaction(SIGUSR1, &action, nullptr);
    action.sa_handler = OnPowerSignal;
    sigaction(SIGHUP, &action, nullptr);
    action.sa_handler = OnNextSignal;
    sigaction(SIGUSR2, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const auto deadline = std::chrono::steady_clock::now()
        + std::chrono::milliseconds(long(options.exitAfter * 1000));

    if (!options.device.empty()) {
        const int fd = ::open(options.device.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0)
            Fail("cannot open " + options.device + ": " + std::strerror(errno));
        MakeRaw(fd);
        Server(options, core, log, fd, deadline).Run(fd);
        ::close(fd);
        return 0;
    }

    if (!options.link.empty()) {
        // A link of an earlier run is taken over; anything else at PATH is not the sim's.
        struct stat info;
        if (::lstat(options.link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode))
            Fail(options.link + " exists and is no symbolic link");
        g_link = options.link;
    }
    sim::ModuleSeries series(core, options.series, options.forgetfulEvery);
    sim::ModuleCore *module = options.series > 0 ? series.Current() : &core;
    while (module) {
        const Pty pty = OpenPty();
        if (!g_link.empty()) // before the path is told, so the link is there when it is
            PointLink(pty.path);
        std::printf("%s\n", pty.path.c_str());
        std::fflush(stdout);
        if (options.series > 0)
            log.Write('#',
                      "module " + std::to_string(series.Position()) + " of "
                          + std::to_string(series.Count()) + " on " + pty.path);
        const End end = Server(options, *module, log, pty.slaveHold, deadline).Run(pty.fd);
        ::close(pty.fd);
        ::close(pty.slaveHold);
        if (end != End::NextModule)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(SwapGapMs));
        if (g_stop)
            break;
        module = series.Next() ? series.Current() : nullptr;
    }
    if (!module && !g_stop) {
        // The batch is over: no port comes back, and the link goes with the last module.
        log.Write('#', "end of the series");
        if (!g_link.empty())
            ::unlink(g_link.c_str());
        g_link.clear();
        while (!g_stop && (options.exitAfter <= 0 || std::chrono::steady_clock::now() < deadline))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!g_link.empty())
        ::unlink(g_link.c_str());
    return 0;
}
