// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <span>

// The two other command families that share the benches with this tool's own, each as a
// table: what it reads and writes, how its replies look, how it is paced and when a
// setting takes effect. FamilySequence reads them; a new family or firmware is a new
// table or row here. Lookups cost a pass over a table of a few rows.

// A rate digit of a family's rate command: AT+BAUD4 is 9600 for one family.
struct RateDigit
{
    char digit;
    int rate;
};

// How a setting's value is written and checked.
enum class FamilyValue {
    Text, // at most `longest` characters
    Digits, // exactly `longest` decimal digits
    Role, // 0 or 1
    Rate, // a rate of the family's digit table, written as its digit
};

// One of the panel's settings as the family has it.
struct FamilySetting
{
    int step; // the update step of the panel's setting (1 name, 2 role, 4 PIN, 9 rate); 0: a
              // read-only box
    int text1Index; // a read-only box: the version's or the address's; -1 otherwise
    const char *query; // null: it cannot be read
    std::array<const char *, 2> answers; // what comes before the value in its answer
    const char *set; // the value follows it; null: it cannot be written
    std::array<const char *, 2> taken; // an answer to the set that begins with one took it
    FamilyValue value = FamilyValue::Text;
    int longest = 0; // characters (digits for Digits); 0: any
    int longerFrom = 0; // from this firmware number on, one character more
    bool afterRestart = false; // in force only once the module restarted
};

struct CommandFamily
{
    const char *key; // "pause", "ok-plus": the family's name in files and options
    const char *kind; // what the module speaks, as the panel's title says it
    const char *lineEnd; // after every command: "" for both
    std::array<const char *, 2> versionQueries; // the first is the one sent
    int answerQuietMs; // an answer without a line end is whole once this long passed without a byte
    int patienceMs; // from the command on: no answer by then is none
    int gapMs; // between an answer and the next command
    const char *restart; // null: the family restarts only by a power cycle
    const char *restarted; // its answer
    bool rateAtOnce; // the rate is in force as soon as it is answered
    bool attentionDropsLink; // a bare "AT" ends a live radio link
    std::span<const RateDigit> rates;
    std::span<const FamilySetting> settings;
};

// How the family has a row of the panel.
enum class RowUse { ReadWrite, ReadOnly, WriteOnly, Absent };
// The row of the update step `step` (1 to 9), or of the read-only box Text1(text1Index)
// when `step` is 0; every row as ever for this tool's own family (null).
RowUse FamilyRowUse(const CommandFamily *family, int step, int text1Index = -1);

// The families other than this tool's own, in the order a search probes them.
std::span<const CommandFamily> OtherFamilies();
// By key; null for another.
const CommandFamily *FamilyByKey(QStringView key);

// The family's row for update step `step`, or for a read-only box; null when it has none.
const FamilySetting *FamilySettingOf(const CommandFamily &family, int step);
const FamilySetting *FamilyBoxOf(const CommandFamily &family, int text1Index);

// The family a version answer reveals, when it answers `probe` (one of its version
// queries) so that no other family would: an "OK+" mark, or the version text of the
// family that the probe belongs to. Null when the answer reads as none.
const CommandFamily *FamilyOfAnswer(QStringView probe, QStringView answer);

// The firmware's version in a family's version answer: "V540", "V1.8"; the whole answer,
// trimmed, when it has no such part.
QString FamilyVersion(QStringView answer);
// The number of a version for the table's `longerFrom`: "V544" is 544, "V1.8" 18.
int FirmwareNumber(QStringView version);

// The value after the first answer mark the reply begins with, up to its line end; not
// found when it begins with none of them. Unsolicited link notices ("OK+CONN",
// "OK+LOST") are taken out first.
struct FamilyAnswer
{
    bool found = false;
    QString value;
};
FamilyAnswer ReadFamilyAnswer(const std::array<const char *, 2> &marks, QStringView reply);
// The reply without the link notices a family sends at any time.
QString WithoutLinkNotices(QStringView reply);

// The rate of a digit, 0 for none; the digit of a rate, '\0' for none.
int RateOfDigit(const CommandFamily &family, QChar digit);
char DigitOfRate(const CommandFamily &family, int rate);

// Why the family's module would not take the value, in a sentence; empty when it would.
QString FamilyValueProblem(const CommandFamily &family,
                           const FamilySetting &setting,
                           const QString &value,
                           QStringView version);

// The command line that writes the value, without the family's line end.
QString
FamilySetLine(const CommandFamily &family, const FamilySetting &setting, const QString &value);
