// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolelines.h"

#include <algorithm>

void LongLines::Clear()
{
    m_entries.clear();
    m_extra = 0;
}

void LongLines::Update(qsizetype line, qsizetype extra)
{
    if (!m_entries.isEmpty() && m_entries.last().line == line) {
        m_extra += extra - m_entries.last().extra;
        m_entries.last().extra = extra;
    } else if (extra > 0) {
        m_entries.append({ line, m_extra, extra });
        m_extra += extra;
    }
}

qsizetype LongLines::ExtraOf(qsizetype line) const
{
    const auto at = std::lower_bound(m_entries.cbegin(), m_entries.cend(), line,
                                     [](const Entry &e, qsizetype n) { return e.line < n; });
    return at != m_entries.cend() && at->line == line ? at->extra : 0;
}

qsizetype LongLines::FirstSegment(qsizetype line) const
{
    const auto after = std::lower_bound(m_entries.cbegin(), m_entries.cend(), line,
                                        [](const Entry &e, qsizetype n) { return e.line < n; });
    if (after == m_entries.cbegin())
        return line;
    const Entry &before = *(after - 1);
    return line + before.extraBefore + before.extra;
}

std::pair<qsizetype, qsizetype> LongLines::SegmentLine(qsizetype segment) const
{
    const auto after
        = std::upper_bound(m_entries.cbegin(), m_entries.cend(), segment,
                           [](qsizetype s, const Entry &e) { return s < e.line + e.extraBefore; });
    if (after == m_entries.cbegin())
        return { segment, 0 };
    const Entry &e = *(after - 1);
    const qsizetype first = e.line + e.extraBefore;
    if (segment <= first + e.extra)
        return { e.line, segment - first };
    return { e.line + (segment - first - e.extra), 0 };
}

void LongLines::AppendCopies(qsizetype times, qsizetype lines)
{
    const qsizetype count = m_entries.size();
    const qsizetype extra = m_extra;
    m_entries.reserve(count * (times + 1));
    for (qsizetype copy = 1; copy <= times; ++copy) {
        for (qsizetype i = 0; i < count; ++i) {
            const Entry &e = m_entries.at(i);
            m_entries.append({ e.line + copy * lines, e.extraBefore + copy * extra, e.extra });
        }
    }
    m_extra = extra * (times + 1);
}
