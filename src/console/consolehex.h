// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "consolelines.h"
#include "consolestore.h"

// The console's lines as the bytes that went out or came in: each byte as two upper-case
// hex digits, one space between bytes ("41 54 0D 0A"), a line ending after each 0A byte,
// each byte in the colour of its direction. Made from the store when asked, from the bytes
// asked for: nothing of it is kept, so it costs nothing until shown and is there at once,
// and a segment of a long line costs no more than a short line. A segment holds
// ConsoleStore::HexSegmentBytes bytes.
class HexLines : public ConsoleLines
{
public:
    static constexpr qsizetype SegmentChars = 3 * ConsoleStore::HexSegmentBytes; // with spaces

    explicit HexLines(const ConsoleStore &store)
        : m_store(store)
    { }

    // Bytes as the hex form shows them: two upper-case digits each, a space between.
    static QString Hex(QByteArrayView bytes);
    // Bytes as the column beside the hex digits shows them, one character each: a printable
    // ASCII byte as itself, any other as '.' (a character of several bytes too).
    static QString Characters(QByteArrayView bytes);

    qsizetype Size() const override;
    qsizetype LineCount() const override;
    qsizetype LineOf(qsizetype pos) const override;
    qsizetype LineStart(qsizetype line) const override;
    qsizetype LineLength(qsizetype line) const override;
    qint64 LineTime(qsizetype line) const override;
    QString Text(qsizetype from, qsizetype to) const override;
    QChar At(qsizetype pos) const override;
    bool InsidePair(qsizetype) const override { return false; }
    QList<Run> Runs(qsizetype from, qsizetype to) const override;
    std::pair<Run, qsizetype> RunAt(qsizetype pos) const override;
    qsizetype SegmentCount() const override;
    qsizetype FirstSegment(qsizetype line) const;
    std::pair<qsizetype, qsizetype> SegmentLine(qsizetype segment) const override;
    std::pair<qsizetype, qsizetype> SegmentRange(qsizetype segment) const override;
    qsizetype SegmentOf(qsizetype pos) const override;

private:
    const ConsoleStore &m_store;
};
