// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
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

// The module's command set over one in-memory set of settings.
class ModuleCore
{
public:
    ModuleCore();

    // Overrides a setting, as "--set NAME=value" does; false for an unknown key.
    bool Set(const std::string &key, const std::string &value);
    const Settings &Current() const { return m_settings; }

    // Faults: a command matches CMD when it equals CMD, or when CMD ends in "=" or "?"
    // and the command begins with it.
    void SilenceCommand(const std::string &command) { m_silent.insert(command); }
    void FailCommand(const std::string &command) { m_failing.insert(command); }

    // The reply lines (each ending in CR LF) to one command; nothing when silenced.
    std::optional<std::string> Reply(const std::string &command);

private:
    std::string Execute(const std::string &command);
    std::string Assign(const std::string &key, const std::string &value);
    static bool Matches(const std::set<std::string> &faults, const std::string &command);

    Settings m_settings;
    std::set<std::string> m_silent;
    std::set<std::string> m_failing;
};

} // namespace sim
