// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// The firmware generations of this module family answer the same commands in a few other
// forms. The query reads the version at its second step; until then, and for a version
// not in the table (2.x among them), the forms of 2.x hold, byte for byte.
struct FirmwareForms
{
    int major; // the generation the row stands for: "3.0-20170601" is 3
    bool quotedPin; // takes a PIN only in quotes: AT+PSWD="1234"
    const char *connectionModeQuery; // the query's step 11, or null for the query table's
    int longestName = 32; // in bytes of UTF-8: ERROR:(3) past it
    int longestPin = 16; // letters and digits, the quotes aside: ERROR:(10) past it
};

// The version in a reply to "AT+VERSION?" ("+VERSION:3.0-20170601", "VERSION:3.0-…"),
// without its keyword; empty when the reply holds none.
QString VersionIn(QStringView reply);

// The forms a module of this version (as VersionIn gives it) speaks. Costs a few
// comparisons.
const FirmwareForms &FormsFor(QStringView version);

// A PIN as a module of these forms takes it: in quotes where the firmware wants them (one
// pair, also when the operator typed them), else exactly as given.
QString PinToWrite(const QString &pin, const FirmwareForms &forms);

// A value read from a reply without the quotes around it, if it has them.
QString WithoutQuotes(const QString &value);
