// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sim {

// Settings of the simulated module, by the key its query replies carry.
using Settings = std::map<std::string, std::string>;

Settings DefaultSettings();

// Splits the byte stream from the line into commands: LF ends a line, a CR before it
// is dropped, and spaces around the command are not part of it.
class LineSplitter
{
public:
    std::vector<std::string> Feed(const std::string &bytes);
    // The line received so far without its line end, trimmed, and forgotten.
    std::string TakePending();
    bool HasPending() const { return !m_pending.empty(); }

private:
    std::string m_pending;
};

// The command set a module speaks: this family's, with commands and replies ending in
// CR LF, or one of two other families, neither of which ends a line: one ends a command by
// a pause of about a second and only sets; the other answers "OK+…".
enum class CommandSet { Lines, Pause, OkPlus };

// Splits the bytes of a family without line ends into commands by time. The pause family
// takes as one command what arrives within a second of its first byte, so a command that
// takes longer is cut in two; the "OK+" family takes what arrives before a pause of 0.1 s.
class TimedFramer
{
public:
    explicit TimedFramer(CommandSet set);
    // Bytes that arrived at `nowMs`; the command that was complete before they came.
    std::optional<std::string> Feed(const std::string &bytes, long long nowMs);
    // The command complete by `nowMs`, taken.
    std::optional<std::string> Take(long long nowMs);

private:
    int m_windowMs;
    bool m_fromFirstByte;
    std::string m_pending;
    long long m_firstMs = 0;
    long long m_lastMs = 0;
};

// Which commands a module answers: all of them, none (it is in its data mode), only "AT"
// (a limited command mode that some boards enter), or all but those of the radio: the
// "mini" command mode of firmware 3.0 boards powered up without their key held, in which
// AT+INIT, AT+INQ, AT+PAIR and AT+LINK answer ERROR:(1F).
enum class CommandMode { Full, None, AttentionOnly, Mini };

// What the radios of modules in range see of each other, by address (its parts in lower
// case hex without leading zeros, parted by colons): the PIN and role a pairing asks for,
// and the module each is linked to. The modules of one test share it; simulators share it
// through a folder.
struct OnAir
{
    std::string pin;
    std::string role;
    std::string linkedTo;
};
using Air = std::map<std::string, OnAir>;
// An address in either the module's colon form or the comma form of its commands, as Air
// keys it; empty when it is none.
std::string AirAddress(const std::string &text);

// The module's command set over one in-memory set of settings.
class ModuleCore
{
public:
    ModuleCore();

    // Overrides a setting, as "--set NAME=value" does; false for an unknown key.
    bool Set(const std::string &key, const std::string &value);
    const Settings &Current() const { return m_settings; }
    // A factory value of this module, as AT+ORGL brings it back; false for an unknown key.
    bool SetFactory(const std::string &key, const std::string &value);

    // Faults: a command matches CMD when it equals CMD, or when CMD ends in "=" or "?"
    // and the command begins with it.
    void SilenceCommand(const std::string &command) { m_silent.insert(command); }
    void FailCommand(const std::string &command) { m_failing.insert(command); }
    void DelayCommand(const std::string &command) { m_late.insert(command); }
    bool IsDelayed(const std::string &command) const { return Matches(m_late, command); }

    // The failures a module that does not answer as the tool expects shows:
    // its own line rate (0: whatever the line runs at), the commands it answers, replies
    // without their line ends, and settings acknowledged but not kept.
    void SetOwnRate(long rate) { m_ownRate = rate; }
    void SetCommandMode(CommandMode mode) { m_commandMode = mode; }
    void DropLineEnds(bool drop) { m_dropLineEnds = drop; }
    void ForgetSettings(bool forget) { m_forget = forget; }
    // One setting acknowledged with OK when written, its old value kept.
    void ForgetSetting(const std::string &key) { m_forgotten.insert(key); }

    // Firmware 2, 3 or 4 of this family, with its version; false for another. 3.0 writes
    // its version without the plus sign, answers the PIN as +PIN:"1234" and takes one
    // only in quotes; 4.0 takes the connection-mode query only with its question mark.
    bool SetFirmware(int major);
    // Another family, with its version, PIN, address and rate of its kind.
    void SetCommandSet(CommandSet set);
    sim::CommandSet Family() const { return m_commandSet; }
    // The firmware as "--firmware" names it for the family in use: 2, 3 or 4 here; 1.5,
    // 1.8 or 2.0 for the pause family; a three-digit number such as 523, 605 or 707 for
    // the "OK+" family. False for one the family does not have.
    bool SelectFirmware(const std::string &text);
    // The "OK+" family from firmware 605 on: a reply ends in CR LF when its command did.
    void SetCrLfReplies(bool crlf) { m_crlfReplies = crlf; }
    // How long a pause ends a command of the other families; 0: a line feed ends it.
    int CommandPauseMs() const;

    // The bytes the line carries back for one command that came at `lineRate` (0 when
    // the rate is not known): the reply lines, each ending in CR LF (the other families'
    // replies end in nothing); nothing when the module does not answer. At another rate than its
    // own the module takes no command, and what it sends arrives as noise of the same length.
    std::optional<std::string> Reply(const std::string &command, long lineRate = 0);

    // A radio link of the "OK+" family made or lost, by the far end: the notice the module
    // sends unasked (OK+CONN or OK+LOST); nothing for the other families.
    std::optional<std::string> ToggleLink(long lineRate = 0);
    // Power off and on with the key held: command mode again, whatever AT+RESET left, and
    // the radio's library to start again on firmware 2.0.
    void PowerCycleWithKey();

    // Takes its place among the modules in range: from now on it is seen there with its
    // PIN and role, and an inquiry, a pairing or a link finds the others.
    void JoinAir(std::shared_ptr<Air> air);

private:
    std::string Execute(const std::string &command);
    // The commands of the radio (inquiry, pairing, link); nothing for another command.
    std::optional<std::string> ExecuteRadio(const std::string &command);
    void Publish();
    std::string ExecutePause(const std::string &command);
    std::string ExecuteOkPlus(std::string command);
    std::string ExecuteOkPlusCommand(const std::string &command);
    std::string Assign(const std::string &key, const std::string &value);
    std::string OkPlusSet(const std::string &key, const std::string &value, bool pending);
    bool Misheard(long lineRate) const;
    static bool Matches(const std::set<std::string> &faults, const std::string &command);

    Settings m_settings;
    Settings m_factory;
    std::set<std::string> m_forgotten;
    std::set<std::string> m_silent;
    std::set<std::string> m_failing;
    std::set<std::string> m_late;
    long m_ownRate = 0;
    CommandMode m_commandMode = CommandMode::Full;
    bool m_dropLineEnds = false;
    bool m_forget = false;
    int m_firmware = 2;
    CommandSet m_commandSet = CommandSet::Lines;
    int m_pauseGeneration = 18; // tenths: 1.8
    int m_okPlusFirmware = 707;
    bool m_crlfReplies = false;
    // The "OK+" family: settings taken but in force only after AT+RESET, the radio link,
    // and a module restarted at a rate at which it takes no command.
    Settings m_pending;
    bool m_linkUp = false;
    bool m_lockedOut = false;
    // The classic family's radio: its library started (by AT+INIT on 2.0, by itself from
    // 3.0), the modules it has paired with, and the modules around it.
    bool m_radioReady = false;
    std::set<std::string> m_paired;
    std::shared_ptr<Air> m_air;
};

// A batch of modules of this family met one after another on one port, as an operator
// writing one profile into each in turn meets them. Each has its own address, factory name
// and settings; their firmware is 2, 3 and 4 in turn, so a batch is of mixed firmware.
class ModuleSeries
{
public:
    // `count` modules made from `model` (its faults and failures); every `forgetfulEvery`-th
    // of them (counted from 1; 0: none) acknowledges a new PIN but keeps its old one.
    ModuleSeries(const ModuleCore &model, int count, int forgetfulEvery);
    // The module on the line; none once the batch is over.
    ModuleCore *Current();
    // Its place in the batch, from 1.
    int Position() const { return int(m_position) + 1; }
    int Count() const { return int(m_modules.size()); }
    // The next module takes the line; false when none is left: the end of the batch.
    bool Next();

private:
    std::vector<ModuleCore> m_modules;
    std::size_t m_position = 0;
};

} // namespace sim
