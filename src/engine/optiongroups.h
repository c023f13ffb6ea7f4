// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <optional>

class SettingsFields;

// A group of three options that stands for a numeric setting of the module.
struct OptionGroup
{
    const char *command; // the update command, value appended
    int optionForOne; // selected when the module reports 1
    int optionForZero; // selected when the module reports 0
    int optionForOther; // selected for any other number
    // Options in the order the update checks them, with the value each writes back.
    std::array<std::pair<int, int>, 3> writeOrder() const
    {
        return { { { optionForOne, 1 }, { optionForZero, 0 }, { optionForOther, 2 } } };
    }
};

inline constexpr OptionGroup RoleGroup { "AT+ROLE=", 1, 2, 3 };
inline constexpr OptionGroup ConnectionModeGroup { "AT+CMODE=", 4, 5, 6 };

// Reads a reported value as a number: an optional sign, digits and an optional
// fraction, white space around it ignored. Anything else is not a number.
std::optional<double> ReadNumber(const QString &text);

// Selects the option the reported value stands for; a value that is not a number
// leaves the group as it is.
void ApplyGroupValue(const OptionGroup &group, const QString &value, SettingsFields &fields);

// Selects `option` of the group and clears the others; 0 clears them all.
void SelectOption(const OptionGroup &group, int option, SettingsFields &fields);

// What a group with no option selected writes back.
inline constexpr int UnselectedGroupValue = 0;
