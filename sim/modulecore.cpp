// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulecore.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace sim {

namespace {

// Error codes the module answers with, as "ERROR:(n)" in hex.
enum ErrorCode : unsigned {
    UnknownCommand = 0x0,
    BadName = 0x1,
    BadPin = 0x2,
    BadRole = 0x3,
    BadClass = 0x4,
    BadAccessCode = 0x5,
    BadConnectionMode = 0x6,
    BadAddress = 0x7,
    BadInquiryMode = 0x8,
    BadBaudRate = 0x9,
    BadStopBits = 0xA,
    BadParity = 0xB,
    RadioNotStarted = 0x16,
    RadioStartedAgain = 0x17,
    PinWithoutQuotes = 0x1D, // firmware 3.0
    Refused = 0x1F, // a fault asked for on the command line
    NotInMiniMode = 0x1F, // firmware 3.0 powered up without its key held
};

// Query commands and the key their reply carries. The connection-mode query is also
// taken without its question mark, and its reply says CMOD.
struct QueryCommand
{
    const char *command;
    const char *key;
};

constexpr std::array<QueryCommand, 14> Queries = { {
    { "AT+VERSION?", "VERSION" },
    { "AT+ADDR?", "ADDR" },
    { "AT+NAME?", "NAME" },
    { "AT+ROLE?", "ROLE" },
    { "AT+CLASS?", "CLASS" },
    { "AT+IAC?", "IAC" },
    { "AT+INQM?", "INQM" },
    { "AT+PSWD?", "PSWD" },
    { "AT+UART?", "UART" },
    { "AT+CMODE?", "CMOD" },
    { "AT+CMODE", "CMOD" },
    { "AT+BIND?", "BIND" },
    { "AT+MRAD?", "MRAD" },
    { "AT+STATE?", "STATE" },
} };

// Setting commands ("AT+KEY=value") and the key each one changes.
struct SetCommand
{
    const char *name;
    const char *key;
};

constexpr std::array<SetCommand, 9> Sets = { {
    { "NAME", "NAME" },
    { "ROLE", "ROLE" },
    { "CLASS", "CLASS" },
    { "PSWD", "PSWD" },
    { "IAC", "IAC" },
    { "CMODE", "CMOD" },
    { "BIND", "BIND" },
    { "INQM", "INQM" },
    { "UART", "UART" },
} };

// Where a firmware writes a query's reply otherwise than 2.0's "+KEY:value".
struct ReplyForm
{
    int firmware;
    const char *key;
    const char *prefix; // before the value
    const char *suffix; // after it
};

constexpr std::array<ReplyForm, 3> ReplyForms = { {
    { 3, "VERSION", "VERSION:", "" },
    { 3, "PSWD", "+PIN:\"", "\"" },
    { 4, "CMOD", "+CMODE:", "" },
} };

// The version each firmware answers with.
constexpr std::array<std::pair<int, const char *>, 3> FirmwareVersions = { {
    { 2, "2.0-20100601" },
    { 3, "3.0-20170601" },
    { 4, "4.0-20190815" },
} };

// The rate digits of the other families: AT+BAUD<digit>, the pause family's from 1.
constexpr char PauseDigits[] = "123456789ABC";
constexpr std::array<long, 12> PauseRates
    = { 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 1382400 };
constexpr std::array<long, 9> OkPlusRates
    = { 9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200, 230400 };
// An "OK+" module restarted at this rate takes no command any more.
constexpr long OkPlusLockedRate = 1200;
// Its firmware: from 540 on queries and sets answer in the newer forms, from 544 a name
// may be 13 characters long, from 600 the name query answers as the others do.
constexpr int OkPlusNewForms = 540;
constexpr int OkPlusLongName = 544;
constexpr int OkPlusNameAsGet = 600;

// How long a pause ends a command of each family, in milliseconds.
constexpr int PauseFamilyMs = 1000;
constexpr int OkPlusFamilyMs = 100;

constexpr std::array<long, 10> KnownBaudRates
    = { 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 1382400 };

const std::string Ok = "OK\r\n";

std::string Error(unsigned code)
{
    char text[32];
    std::snprintf(text, sizeof text, "ERROR:(%X)\r\n", code);
    return text;
}

std::string Trim(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool StartsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> SplitCommas(const std::string &text)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

bool IsHex(const std::string &text, std::size_t maxDigits)
{
    return !text.empty() && text.size() <= maxDigits
        && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); });
}

bool IsDigits(const std::string &text, std::size_t count)
{
    return text.size() == count
        && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool IsDecimal(const std::string &text)
{
    return !text.empty() && text.size() <= 9
        && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// Characters counted as UTF-8 code points; control bytes (line breaks among them) refused.
bool PrintableLength(const std::string &text, std::size_t min, std::size_t max)
{
    std::size_t characters = 0;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return false;
        if ((c & 0xC0) != 0x80)
            ++characters;
    }
    return characters >= min && characters <= max;
}

// What a receiver at the wrong rate makes of `bytes`: as many bytes of 0x80 and above,
// none of them a character.
std::string AsNoise(const std::string &bytes)
{
    // Continuation bytes with no lead byte before them: never part of a character.
    std::string noise = bytes;
    for (char &c : noise)
        c = char(0x80 | (static_cast<unsigned char>(c) & 0x3F));
    return noise;
}

} // namespace

std::string AirAddress(const std::string &text)
{
    std::string colons = text;
    std::replace(colons.begin(), colons.end(), ',', ':');
    std::vector<std::string> parts;
    for (std::string::size_type start = 0;;) {
        const auto colon = colons.find(':', start);
        parts.push_back(colons.substr(start, colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    const std::size_t digits[] = { 4, 2, 6 };
    std::string address;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts.size() != 3 || !IsHex(parts[i], digits[i]))
            return std::string();
        char part[16];
        std::snprintf(part, sizeof part, "%lx", std::strtoul(parts[i].c_str(), nullptr, 16));
        address += (i ? ":" : "") + std::string(part);
    }
    return address;
}

Settings DefaultSettings()
{
    return {
        { "NAME", "TARVENIT-BT" },    { "VERSION", "1.4-20250310" },
        { "ADDR", "1a2b:3c:4d5e6f" }, { "ROLE", "0" },
        { "CLASS", "1f00" },          { "IAC", "9e8b33" },
        { "INQM", "1,1,48" },         { "PSWD", "1234" },
        { "UART", "38400,0,0" },      { "CMOD", "0" },
        { "BIND", "0:0:0" },          { "MRAD", "0:0:0" },
        { "STATE", "INITIALIZED" },
    };
}

std::vector<std::string> LineSplitter::Feed(const std::string &bytes)
{
    // The pending text holds no line feed, so only the new bytes are searched: a long
    // line fed a byte at a time costs its length, not its length squared.
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (auto lf = bytes.find('\n'); lf != std::string::npos; lf = bytes.find('\n', start)) {
        m_pending.append(bytes, start, lf - start);
        if (!m_pending.empty() && m_pending.back() == '\r')
            m_pending.pop_back();
        lines.push_back(Trim(m_pending));
        m_pending.clear();
        start = lf + 1;
    }
    m_pending.append(bytes, start, std::string::npos);
    return lines;
}

TimedFramer::TimedFramer(CommandSet set)
    : m_windowMs(set == CommandSet::OkPlus ? OkPlusFamilyMs : PauseFamilyMs)
    , m_fromFirstByte(set != CommandSet::OkPlus)
{ }

std::optional<std::string> TimedFramer::Feed(const std::string &bytes, long long nowMs)
{
    auto complete = Take(nowMs);
    if (m_pending.empty())
        m_firstMs = nowMs;
    m_pending += bytes;
    m_lastMs = nowMs;
    return complete;
}

std::optional<std::string> TimedFramer::Take(long long nowMs)
{
    if (m_pending.empty() || nowMs - (m_fromFirstByte ? m_firstMs : m_lastMs) < m_windowMs)
        return std::nullopt;
    return std::exchange(m_pending, std::string());
}

std::string LineSplitter::TakePending()
{
    std::string line = Trim(m_pending);
    m_pending.clear();
    return line;
}

ModuleCore::ModuleCore()
    : m_settings(DefaultSettings())
    , m_factory(m_settings)
{ }

bool ModuleCore::SetFactory(const std::string &key, const std::string &value)
{
    if (!Set(key, value))
        return false;
    m_factory[key] = value;
    return true;
}

bool ModuleCore::Set(const std::string &key, const std::string &value)
{
    const auto it = m_settings.find(key);
    if (it == m_settings.end())
        return false;
    it->second = value;
    return true;
}

bool ModuleCore::SetFirmware(int major)
{
    for (const auto &[firmware, version] : FirmwareVersions) {
        if (firmware == major) {
            m_firmware = major;
            m_radioReady = major != 2;
            m_settings["VERSION"] = version;
            return true;
        }
    }
    return false;
}

void ModuleCore::SetCommandSet(CommandSet set)
{
    m_commandSet = set;
    if (set == CommandSet::Lines)
        return;
    m_settings["UART"] = "9600,0,0";
    if (set == CommandSet::Pause) {
        SelectFirmware("1.8");
    } else {
        SelectFirmware("707");
        m_settings["PSWD"] = "000000";
        m_settings["ADDR"] = "02A5F03C7E19"; // locally administered: no maker's block
    }
}

bool ModuleCore::SelectFirmware(const std::string &text)
{
    switch (m_commandSet) {
    case CommandSet::Lines:
        return text.size() == 1 && SetFirmware(text[0] - '0');
    case CommandSet::Pause:
        if (text != "1.5" && text != "1.8" && text != "2.0")
            return false;
        m_pauseGeneration = (text[0] - '0') * 10 + (text[2] - '0');
        m_settings["VERSION"] = "BTMODV" + text;
        return true;
    case CommandSet::OkPlus:
        if (!IsDigits(text, 3) || text[0] == '0')
            return false;
        m_okPlusFirmware = std::stoi(text);
        m_settings["VERSION"] = "BLEMOD V" + text;
        return true;
    }
    return false;
}

int ModuleCore::CommandPauseMs() const
{
    switch (m_commandSet) {
    case CommandSet::Lines:
        break;
    case CommandSet::Pause:
        return PauseFamilyMs;
    case CommandSet::OkPlus:
        return OkPlusFamilyMs;
    }
    return 0;
}

bool ModuleCore::Matches(const std::set<std::string> &faults, const std::string &command)
{
    for (const std::string &fault : faults) {
        if (command == fault)
            return true;
        const bool prefix = !fault.empty() && (fault.back() == '=' || fault.back() == '?');
        if (prefix && command.compare(0, fault.size(), fault) == 0)
            return true;
    }
    return false;
}

bool ModuleCore::Misheard(long lineRate) const
{
    return m_ownRate > 0 && lineRate > 0 && lineRate != m_ownRate;
}

std::optional<std::string> ModuleCore::ToggleLink(long lineRate)
{
    if (m_commandSet != CommandSet::OkPlus)
        return std::nullopt;
    m_linkUp = !m_linkUp;
    const std::string notice = m_linkUp ? "OK+CONN" : "OK+LOST";
    return Misheard(lineRate) ? AsNoise(notice) : notice;
}

std::optional<std::string> ModuleCore::Reply(const std::string &command, long lineRate)
{
    // At another rate the module hears noise: it keeps no setting, and answers noise.
    const bool misheard = Misheard(lineRate);
    if (m_lockedOut || m_commandMode == CommandMode::None
        || (m_commandMode == CommandMode::AttentionOnly && command != "AT"))
        return std::nullopt;
    if (Matches(m_silent, command))
        return std::nullopt;
    std::string reply;
    if (Matches(m_failing, command)) {
        reply = Error(Refused);
    } else if (m_forget || misheard) {
        // Nothing kept: no setting, rate, restart or link change either.
        const ModuleCore before = *this;
        reply = Execute(command);
        *this = before;
    } else {
        reply = Execute(command);
    }
    Publish();
    if (reply.empty()) // a command the family does not know, or one it answers with silence
        return std::nullopt;
    if (m_dropLineEnds) {
        for (auto end = reply.find("\r\n"); end != std::string::npos; end = reply.find("\r\n", end))
            reply.erase(end, 2);
    }
    return misheard ? AsNoise(reply) : reply;
}

std::string ModuleCore::Execute(const std::string &command)
{
    if (m_commandSet == CommandSet::Pause)
        return ExecutePause(command);
    if (m_commandSet == CommandSet::OkPlus)
        return ExecuteOkPlus(command);
    if (command == "AT")
        return Ok;
    if (command == "AT+ORGL") {
        for (const SetCommand &set : Sets)
            m_settings[set.key] = m_factory.at(set.key);
        // A module of a rate of its own talks at its factory rate from now on.
        if (m_ownRate > 0)
            m_ownRate = std::strtol(m_settings.at("UART").c_str(), nullptr, 10);
        return Ok;
    }
    if (command == "AT+RMAAD") {
        m_settings["MRAD"] = "0:0:0";
        m_paired.clear();
        return Ok;
    }
    if (auto radio = ExecuteRadio(command))
        return *radio;
    if (command == "AT+RESET") {
        // It restarts into its data mode, and comes back only when powered on with the key.
        m_commandMode = CommandMode::None;
        return Ok;
    }
    for (const QueryCommand &query : Queries) {
        if (command != query.command)
            continue;
        if (m_firmware == 4 && command == "AT+CMODE")
            return Error(UnknownCommand);
        // Built by appending: a chain of operator+ on temporaries trips GCC 12's
        // -Wrestrict at -O3 with a false alarm.
        std::string reply = "+";
        reply.append(query.key).append(":").append(m_settings.at(query.key));
        for (const ReplyForm &form : ReplyForms) {
            if (form.firmware == m_firmware && query.key == std::string(form.key)) {
                reply = form.prefix;
                reply.append(m_settings.at(query.key)).append(form.suffix);
            }
        }
        return reply.append("\r\n").append(Ok);
    }
    const std::string prefix = "AT+";
    const auto equals = command.find('=');
    if (command.compare(0, prefix.size(), prefix) == 0 && equals != std::string::npos) {
        const std::string name = command.substr(prefix.size(), equals - prefix.size());
        for (const SetCommand &set : Sets) {
            if (name == set.name)
                return Assign(set.key, command.substr(equals + 1));
        }
    }
    return Error(UnknownCommand);
}

void ModuleCore::PowerCycleWithKey()
{
    m_commandMode = CommandMode::Full;
    m_radioReady = m_firmware != 2;
}

void ModuleCore::JoinAir(std::shared_ptr<Air> air)
{
    m_air = std::move(air);
    Publish();
}

void ModuleCore::Publish()
{
    if (!m_air || m_commandSet != CommandSet::Lines)
        return;
    OnAir &self = (*m_air)[AirAddress(m_settings.at("ADDR"))];
    self.pin = m_settings.at("PSWD");
    self.role = m_settings.at("ROLE");
}

std::optional<std::string> ModuleCore::ExecuteRadio(const std::string &command)
{
    const std::string self = AirAddress(m_settings.at("ADDR"));
    // A link the far end made shows in this module's state.
    if (m_air && m_air->contains(self) && !m_air->at(self).linkedTo.empty())
        m_settings["STATE"] = "CONNECTED";
    if (command == "AT+ADCN?")
        return "+ADCN:" + std::to_string(m_paired.size()) + "\r\n" + Ok;
    const bool pair = StartsWith(command, "AT+PAIR=");
    const bool link = StartsWith(command, "AT+LINK=");
    if (command != "AT+INIT" && command != "AT+INQ" && command != "AT+INQC" && !pair && !link)
        return std::nullopt;
    if (m_commandMode == CommandMode::Mini)
        return Error(NotInMiniMode);
    if (command == "AT+INIT") {
        if (m_firmware == 4) // started by itself, and says so without a code
            return std::string("ERROR\r\n");
        if (m_radioReady)
            return Error(RadioStartedAgain);
        m_radioReady = true;
        m_settings["STATE"] = "READY";
        return Ok;
    }
    if (!m_radioReady)
        return Error(RadioNotStarted);
    if (command == "AT+INQC")
        return Ok;
    std::string reply;
    if (command == "AT+INQ") {
        for (const auto &[address, peer] : m_air ? *m_air : Air())
            if (address != self && peer.role == "0")
                reply += "+INQ:" + address + ",1f00,7FFF\r\n";
        return reply + Ok;
    }
    // AT+PAIR=NAP,UAP,LAP,timeout and AT+LINK=NAP,UAP,LAP
    std::string target = command.substr(8);
    if (pair)
        target = target.substr(0, target.rfind(','));
    const std::string address = AirAddress(target);
    const bool inRange = m_air && !address.empty() && address != self && m_air->contains(address);
    if (pair) {
        const bool paired = inRange && m_air->at(address).role == "0"
            && m_air->at(address).pin == m_settings.at("PSWD");
        if (paired) {
            m_paired.insert(address);
            m_settings["MRAD"] = address;
            m_settings["STATE"] = "PAIRED";
        }
        // Firmware 4.0 pairs without a word, whether it paired or not.
        if (m_firmware == 4)
            return std::string();
        return paired ? Ok : "FAIL\r\n";
    }
    if (!inRange || !m_paired.contains(address))
        return std::string("FAIL\r\n");
    (*m_air)[address].linkedTo = self;
    (*m_air)[self].linkedTo = address;
    m_settings["STATE"] = "CONNECTED";
    return Ok;
}

std::string ModuleCore::Assign(const std::string &key, const std::string &value)
{
    std::string stored = value;
    if (key == "NAME") {
        if (!PrintableLength(value, 1, 32))
            return Error(BadName);
    } else if (key == "PSWD") {
        if (m_firmware == 3) {
            if (value.size() < 2 || value.front() != '"' || value.back() != '"')
                return Error(PinWithoutQuotes);
            stored = value.substr(1, value.size() - 2);
        }
        if (!PrintableLength(stored, 1, 16))
            return Error(BadPin);
    } else if (key == "ROLE" || key == "CMOD") {
        if (value != "0" && value != "1" && value != "2")
            return Error(key == "ROLE" ? BadRole : BadConnectionMode);
    } else if (key == "CLASS") {
        if (!IsHex(value, 8))
            return Error(BadClass);
    } else if (key == "IAC") {
        if (!IsHex(value, 6))
            return Error(BadAccessCode);
    } else if (key == "BIND") {
        const auto parts = SplitCommas(value);
        if (parts.size() != 3 || !IsHex(parts[0], 4) || !IsHex(parts[1], 2) || !IsHex(parts[2], 6))
            return Error(BadAddress);
        stored = parts[0] + ":" + parts[1] + ":" + parts[2];
    } else if (key == "INQM") {
        const auto parts = SplitCommas(value);
        if (parts.size() != 3 || !std::all_of(parts.begin(), parts.end(), IsDecimal))
            return Error(BadInquiryMode);
    } else if (key == "UART") {
        const auto parts = SplitCommas(value);
        if (parts.size() != 3 || !IsDecimal(parts[0])
            || std::find(KnownBaudRates.begin(), KnownBaudRates.end(), std::stol(parts[0]))
                == KnownBaudRates.end())
            return Error(BadBaudRate);
        if (parts[1] != "0" && parts[1] != "1")
            return Error(BadStopBits);
        if (parts[2] != "0" && parts[2] != "1" && parts[2] != "2")
            return Error(BadParity);
    }
    if (!m_forgotten.contains(key))
        m_settings[key] = stored;
    return Ok;
}

std::string ModuleCore::ExecutePause(const std::string &command)
{
    // A command that carries a line end is no command of this family.
    if (command.find_first_of("\r\n") != std::string::npos)
        return std::string();
    const bool generation2 = m_pauseGeneration >= 20;
    if (command == "AT")
        return "OK";
    if (command == "AT+VERSION")
        return (generation2 ? "OK" : "") + m_settings.at("VERSION");
    if (StartsWith(command, "AT+NAME") && PrintableLength(command.substr(7), 1, 20)) {
        m_settings["NAME"] = command.substr(7);
        return generation2 ? "OKname" : "OKsetname";
    }
    if (StartsWith(command, "AT+PIN") && IsDigits(command.substr(6), 4)) {
        m_settings["PSWD"] = command.substr(6);
        return generation2 ? "OKsetpin" : "OKsetPIN";
    }
    if (StartsWith(command, "AT+BAUD") && command.size() == 8) {
        const char *digit = std::strchr(PauseDigits, command[7]);
        if (!digit || *digit == '\0')
            return std::string();
        // In force at once: the reply is the last thing sent at the old rate.
        m_ownRate = PauseRates[std::size_t(digit - PauseDigits)];
        m_settings["UART"] = std::to_string(m_ownRate) + ",0,0";
        return "OK" + std::to_string(m_ownRate);
    }
    return std::string();
}

std::string ModuleCore::OkPlusSet(const std::string &key, const std::string &value, bool pending)
{
    (pending ? m_pending : m_settings)[key] = value;
    return (m_okPlusFirmware >= OkPlusNewForms ? "OK+Set:" : "OK+Get:") + value;
}

std::string ModuleCore::ExecuteOkPlus(std::string command)
{
    // It reads a command by time: a line end after it is not part of it, though from
    // firmware 605 on it may end the reply with one too.
    const bool crlf = command.size() >= 2 && command.compare(command.size() - 2, 2, "\r\n") == 0;
    while (!command.empty() && (command.back() == '\r' || command.back() == '\n'))
        command.pop_back();
    std::string reply = ExecuteOkPlusCommand(command);
    if (m_crlfReplies && crlf && !reply.empty())
        reply += "\r\n";
    return reply;
}

std::string ModuleCore::ExecuteOkPlusCommand(const std::string &command)
{
    const bool newForms = m_okPlusFirmware >= OkPlusNewForms;
    if (command == "AT") {
        // A command on a live link ends it.
        const bool dropped = std::exchange(m_linkUp, false);
        return dropped ? "OK+LOST" : "OK";
    }
    if (command == "AT+VERR?" || command == "AT+VERS?")
        return m_settings.at("VERSION");
    if (command == "AT+NAME?")
        return (m_okPlusFirmware >= OkPlusNameAsGet ? "OK+Get:" : "OK+NAME:")
            + m_settings.at("NAME");
    if (command == "AT+PASS?")
        return (newForms ? "OK+Get:" : "OK+PASS:") + m_settings.at("PSWD");
    if (command == "AT+ADDR?")
        return (newForms ? "OK+ADDR:" : "OK+LADD:") + m_settings.at("ADDR");
    if (command == "AT+ROLE?")
        return "OK+Get:" + m_settings.at("ROLE");
    if (command == "AT+BAUD?") {
        const long rate = std::strtol(m_settings.at("UART").c_str(), nullptr, 10);
        const auto found = std::find(OkPlusRates.begin(), OkPlusRates.end(), rate);
        const long digit = found == OkPlusRates.end() ? 0 : found - OkPlusRates.begin();
        return "OK+Get:" + std::to_string(digit);
    }
    if (command == "AT+RESET") {
        for (const auto &[key, value] : m_pending)
            m_settings[key] = value;
        if (m_pending.count("UART")) {
            m_ownRate = std::strtol(m_settings.at("UART").c_str(), nullptr, 10);
            m_lockedOut = m_ownRate == OkPlusLockedRate;
        }
        m_pending.clear();
        m_linkUp = false;
        return "OK+RESET";
    }
    // Settings: the value right after the command's name. Name, role and rate wait for
    // a restart; the PIN is in force at once.
    const auto value = [&](const std::string &name) {
        return StartsWith(command, name) ? command.substr(name.size()) : std::string();
    };
    const std::size_t longestName = m_okPlusFirmware >= OkPlusLongName ? 13 : 12;
    if (const std::string name = value("AT+NAME"); PrintableLength(name, 1, longestName))
        return OkPlusSet("NAME", name, true);
    if (const std::string pin = value("AT+PASS"); IsDigits(pin, 6))
        return OkPlusSet("PSWD", pin, false);
    if (const std::string role = value("AT+ROLE"); role == "0" || role == "1")
        return OkPlusSet("ROLE", role, true);
    if (const std::string baud = value("AT+BAUD");
        baud.size() == 1 && baud[0] >= '0' && std::size_t(baud[0] - '0') < OkPlusRates.size()) {
        OkPlusSet("UART", std::to_string(OkPlusRates[std::size_t(baud[0] - '0')]) + ",0,0", true);
        return (newForms ? "OK+Set:" : "OK+Get:") + baud;
    }
    return std::string();
}
ModuleSeries::ModuleSeries(const ModuleCore &model, int count, int forgetfulEvery)
{
    for (int place = 1; place <= count; ++place) {
        ModuleCore module = model;
        module.SetFirmware(2 + (place - 1) % 3);
        // Addresses of one maker's block, numbered in the batch's order.
        char text[32];
        std::snprintf(text, sizeof text, "98d3:31:%06x", 0xfd5e00 + place);
        module.Set("ADDR", text);
        std::snprintf(text, sizeof text, "TARVENIT-BT-%02d", place);
        module.SetFactory("NAME", text);
        if (forgetfulEvery > 0 && place % forgetfulEvery == 0)
            module.ForgetSetting("PSWD");
        m_modules.push_back(module);
    }
}

ModuleCore *ModuleSeries::Current()
{
    return m_position < m_modules.size() ? &m_modules[m_position] : nullptr;
}

bool ModuleSeries::Next()
{
    if (m_position < m_modules.size())
        ++m_position;
    return Current() != nullptr;
}

} // namespace sim
