// SPDX-License-Identifier: GPL-3.0-or-later
#include "replystore.h"

#include <algorithm>
#include <utility>

bool ReplyStore::BeginsLine(qsizetype pos) const
{
    if (pos == m_start)
        return true;
    return pos == 0 ? m_headBeginsLine : m_text.at(pos - 1) == QLatin1Char('\n');
}

void ReplyStore::Append(QStringView chunk)
{
    m_text += chunk;
    m_appended += chunk.size();
    const qsizetype excess = m_text.size() - Limit;
    if (excess <= 0)
        return;
    // The first line start among the characters that may stay; one at the very end would
    // keep nothing, so there the cut falls inside the line.
    qsizetype lineStart = m_text.indexOf(QLatin1Char('\n'), excess - 1) + 1;
    if (m_start >= excess && (lineStart == 0 || m_start < lineStart))
        lineStart = m_start;
    if (lineStart > 0 && lineStart < m_text.size()) {
        Cut(lineStart, true);
        return;
    }
    const bool splitsPair = m_text.at(excess).isLowSurrogate();
    Cut(excess + (splitsPair ? 1 : 0), false);
}

void ReplyStore::Cut(qsizetype count, bool atLineStart)
{
    m_text.remove(0, count);
    m_headBeginsLine = atLineStart;
    m_checked = std::max<qsizetype>(0, m_checked - count);
    m_start = m_start >= count ? m_start - count : -1;
}

qsizetype ReplyStore::ConsumeNew()
{
    return std::exchange(m_checked, m_text.size());
}

void ReplyStore::StartSequence()
{
    m_start = m_text.size();
    m_checked = 0;
}

void ReplyStore::Discard()
{
    m_text.clear();
    m_lastReply.clear();
    m_start = 0;
    m_checked = 0;
    m_headBeginsLine = true;
}

void ReplyStore::Clear()
{
    m_lastReply = std::exchange(m_text, QString());
    m_start = 0;
    m_checked = 0;
    m_headBeginsLine = true;
    ++m_completed;
}

QStringView ReplyStore::Since(qint64 mark) const
{
    const qint64 count = std::clamp<qint64>(m_appended - mark, 0, m_text.size());
    return QStringView(m_text).right(qsizetype(count));
}
