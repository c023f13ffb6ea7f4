// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolebytes.h"

#include <algorithm>

namespace {

// The room for the bytes of the line being received that stays once it ends.
constexpr qsizetype OpenBytesKept = 4096;

} // namespace

void KeptBytes::TakeOpen(QByteArrayView bytes, QRgb colour)
{
    if (bytes.isEmpty())
        return;
    if (m_openRuns.isEmpty() || m_openRuns.last().second != colour)
        m_openRuns.append({ m_openBytes.size(), colour });
    m_openBytes += bytes;
}

void KeptBytes::ResetOpen()
{
    // Unless a long line left it large.
    if (m_openBytes.capacity() > OpenBytesKept)
        m_openBytes = QByteArray();
    else
        m_openBytes.resize(0);
    m_openRuns.clear();
}

void KeptBytes::KeepBareLineFeed(qsizetype line)
{
    if (!m_bareLineFeeds.isEmpty() && m_bareLineFeeds.last().second == line)
        ++m_bareLineFeeds.last().second;
    else
        m_bareLineFeeds.append({ line, line + 1 });
}

void KeptBytes::Keep(qsizetype line, QByteArrayView bytes, const QList<Run> *runs, QRgb colour)
{
    const qsizetype kept = m_bytes.size();
    m_kept.append({ line, kept, kept + bytes.size() });
    const auto keep = [&](const Run &run) {
        if (m_runs.isEmpty() || m_runs.last().second != run.second)
            m_runs.append({ kept + run.first, run.second });
    };
    if (runs) {
        for (const Run &run : *runs)
            keep(run);
    } else if (!bytes.isEmpty()) {
        keep({ 0, colour });
    }
    m_bytes += bytes;
}

bool KeptBytes::BareLineFeed(qsizetype line) const
{
    const auto after = std::upper_bound(
        m_bareLineFeeds.cbegin(), m_bareLineFeeds.cend(), line,
        [](qsizetype l, const std::pair<qsizetype, qsizetype> &run) { return l < run.first; });
    return after != m_bareLineFeeds.cbegin() && line < std::prev(after)->second;
}

const KeptBytes::Kept *KeptBytes::KeptOf(qsizetype line) const
{
    const auto at = std::lower_bound(m_kept.cbegin(), m_kept.cend(), line,
                                     [](const Kept &kept, qsizetype n) { return kept.line < n; });
    return at != m_kept.cend() && at->line == line ? &*at : nullptr;
}

void KeptBytes::AppendCopies(qsizetype times, qsizetype lines)
{
    Q_ASSERT(m_openBytes.isEmpty());
    const qsizetype bare = m_bareLineFeeds.size();
    const qsizetype kept = m_kept.size();
    const qsizetype size = m_bytes.size();
    const qsizetype runs = m_runs.size();
    for (qsizetype copy = 1; copy <= times; ++copy) {
        for (qsizetype i = 0; i < bare; ++i) {
            const auto [first, end] = m_bareLineFeeds.at(i);
            if (m_bareLineFeeds.last().second == first + copy * lines)
                m_bareLineFeeds.last().second = end + copy * lines;
            else
                m_bareLineFeeds.append({ first + copy * lines, end + copy * lines });
        }
        for (qsizetype i = 0; i < kept; ++i) {
            const Kept &line = m_kept.at(i);
            m_kept.append(
                { line.line + copy * lines, line.start + copy * size, line.end + copy * size });
        }
        for (qsizetype run = 0; run < runs; ++run) {
            if (m_runs.last().second != m_runs.at(run).second)
                m_runs.append({ m_runs.at(run).first + copy * size, m_runs.at(run).second });
        }
    }
    m_bytes = m_bytes.repeated(times + 1);
}

void KeptBytes::Clear()
{
    m_bareLineFeeds.clear();
    m_kept.clear();
    m_bytes.clear();
    m_runs.clear();
    m_openBytes.clear();
    m_openRuns.clear();
}
