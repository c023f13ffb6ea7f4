// SPDX-License-Identifier: GPL-3.0-or-later
#include "utf8stream.h"

#include <QStringDecoder>

#include <utility>

namespace {

// The length of a sequence that begins with `lead`, 0 for a byte no sequence begins with.
int SequenceLength(uchar lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Whether `second` may follow `lead` in a well-formed sequence: the ranges that rule
// out overlong forms, surrogates and code points past U+10FFFF.
bool SecondByteFits(uchar lead, uchar second)
{
    switch (lead) {
    case 0xE0:
        return second >= 0xA0 && second <= 0xBF;
    case 0xED:
        return second >= 0x80 && second <= 0x9F;
    case 0xF0:
        return second >= 0x90 && second <= 0xBF;
    case 0xF4:
        return second >= 0x80 && second <= 0x8F;
    default:
        return second >= 0x80 && second <= 0xBF;
    }
}

bool IsContinuation(uchar byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

qsizetype Utf8Stream::IncompleteTail(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto lead = uchar(bytes[size - back]);
        if (IsContinuation(lead))
            continue;
        const int length = SequenceLength(lead);
        if (length <= back)
            return 0; // complete, or a byte no sequence begins with
        for (qsizetype i = 1; i < back; ++i) {
            const auto next = uchar(bytes[size - back + i]);
            if (i == 1 ? !SecondByteFits(lead, next) : !IsContinuation(next))
                return 0; // already invalid: more bytes cannot mend it
        }
        return back;
    }
    return 0;
}

QString Utf8Stream::Decode(const QByteArray &bytes)
{
    QByteArray whole = m_pending + bytes;
    const qsizetype tail = IncompleteTail(whole);
    m_pending = whole.right(tail);
    whole.chop(tail);
    return DecodeWhole(whole);
}

QString Utf8Stream::Release()
{
    return DecodeWhole(std::exchange(m_pending, QByteArray()));
}

QString Utf8Stream::DecodeWhole(const QByteArray &bytes)
{
    // Stateless, and a byte-order mark stays a character: nothing received may vanish.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless
                               | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}
