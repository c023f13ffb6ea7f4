// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Decodes the bytes of a serial line as UTF-8, read by read, so that the text is the
// same however the bytes were split into reads: valid characters whole, each invalid
// byte as one U+FFFD, nothing dropped or added. An incomplete character at the end of a
// read (at most three bytes) is held back until the next read completes or refutes it,
// or Release gives it up; the decoding itself keeps no state between reads.
class Utf8Stream
{
public:
    QString Decode(const QByteArray &bytes);
    // Whether the end of the last read is held back.
    bool Holding() const { return !m_pending.isEmpty(); }
    // No more bytes are coming to complete what is held back: it becomes U+FFFD, as at
    // the end of the whole stream.
    QString Release();
    void Reset() { m_pending.clear(); }

private:
    // How many bytes at the end of `bytes` begin a character that more bytes could
    // still complete (0 to 3).
    static qsizetype IncompleteTail(QByteArrayView bytes);
    static QString DecodeWhole(const QByteArray &bytes);

    QByteArray m_pending;
};
