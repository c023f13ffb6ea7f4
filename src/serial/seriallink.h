// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "portholder.h"
#include "portidentity.h"

#include <QString>

#include <optional>

// Kind of a port notification; only Receive carries data for the engine.
enum class CommEvent { None = 0, Send = 1, Receive = 2, Error = 1001 };

// Why a device refused to open, when the operator can do something about it.
enum class Refusal {
    None, // opened, or failed for another reason
    NoPermission, // the user may not read and write the device file
    InUse, // another program holds the port
    Missing, // a device named in TARVENIT_PORTS does not exist
    BadLock, // its lock file is no lock file (a FIFO, a device, a huge file): not opened
    Stalled, // the open did not return within a second, and was given up
};

// What the tool needs of a serial port. Failures are swallowed: a step that fails
// leaves the port as it was, and IsOpen tells the result of an Open.
class SerialLink
{
public:
    virtual ~SerialLink() = default;
    virtual void Close() = 0;
    // Reads which device each port number stands for; the search does it once per
    // click, so the numbering cannot shift in the middle of a search.
    virtual void ReadPortList() = 0;
    virtual void SetPortNumber(int number) = 0;
    // The number selected last: the open port's while one is open, a lost port's after.
    virtual int PortNumber() const = 0;
    // "38400,n,8,1"; false, and the line as it was, for settings the adapter refuses.
    virtual bool SetLine(const QString &settings) = 0;
    // The baud rate the line is set to (the open port runs at it).
    virtual int BaudRate() const = 0;
    virtual void SetReceiveThreshold(int characters) = 0;
    virtual void SetTextMode() = 0;
    virtual void Open() = 0;
    virtual bool IsOpen() const = 0;
    // Why the last Open failed, and the device of the selected port number.
    virtual Refusal LastRefusal() const = 0;
    virtual QString Device() const = 0;
    // The adapter of the port opened last; a lost port's still, so that it can be found.
    virtual PortIdentity Identity() const = 0;
    // Another program that has the selected device: after a refused Open the one holding
    // it, after an Open that succeeded one that has it open as well.
    virtual std::optional<PortHolder> Holder() const = 0;
    virtual void ClearBuffers() = 0;
    virtual void Write(const QString &text) = 0; // as UTF-8
    // Bytes as they are, which need not be text (hex entry).
    virtual void WriteBytes(const QByteArray &bytes) = 0;
    // The text waiting, decoded; LastRead() then holds exactly the bytes this call took off
    // the line (an incomplete character among them reaches the text with a later read).
    virtual QString Read() = 0;
    virtual QByteArray LastRead() const = 0;
    virtual CommEvent LastEvent() const = 0;
};
