// SPDX-License-Identifier: GPL-3.0-or-later
#include "consoleblocks.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

bool IsLatin1(QStringView text)
{
    char16_t seen = 0;
    for (const QChar c : text)
        seen |= c.unicode();
    return seen < 0x100;
}

// Blocks a batch of the packer takes at most: 8 MiB of text, a tenth of a second's work.
constexpr size_t BatchBlocks = 64;

} // namespace

TextBlocks::TextBlocks() = default;

TextBlocks::~TextBlocks() = default;

void TextBlocks::Append(QStringView text, quint32 stamp)
{
    if (text.isEmpty())
        return;
    if (m_openStamp == 0)
        m_openStamp = stamp;
    while (!text.isEmpty()) {
        const qsizetype index = m_size / Chars;
        const qsizetype offset = m_size % Chars;
        if (index == qsizetype(m_blocks.size())) {
            m_blocks.push_back(std::make_shared<Block>());
            m_blocks.back()->plain = std::make_unique<PlainBlock>();
            m_firstLines.push_back(m_feeds);
            m_hexBases.push_back(m_feeds == m_closed ? m_hexSize : -1);
        }
        PlainBlock &block = *m_blocks[size_t(index)]->plain;
        const qsizetype take = std::min(text.size(), Chars - offset);
        const QStringView piece = text.first(take);
        if (block.narrow && !IsLatin1(piece))
            block.Widen(offset);
        if (block.narrow) {
            quint8 *out = block.narrow.get() + offset;
            for (const QChar c : piece)
                *out++ = quint8(c.unicode());
        } else {
            std::memcpy(block.wide.get() + offset, piece.utf16(), size_t(take) * sizeof(char16_t));
        }
        for (qsizetype i = piece.indexOf(QLatin1Char('\n')); i >= 0;
             i = piece.indexOf(QLatin1Char('\n'), i + 1)) {
            block.feeds.append(quint32(offset + i));
            block.stamps.append(m_openStamp);
            ++m_feeds;
            // A line that begins at the end of the text has no character yet.
            m_openStamp = i + 1 < text.size() ? stamp : 0;
        }
        m_size += take;
        text = text.sliced(take);
    }
}

void TextBlocks::CloseLine(qsizetype hexSize)
{
    Q_ASSERT(m_closed < m_feeds);
    const auto [index, feed] = FeedAt(m_closed);
    PlainBlock &block = *m_blocks[size_t(index)]->plain;
    m_hexSize += hexSize;
    Q_ASSERT(block.hexEnds.size() == feed);
    block.hexEnds.append(m_hexSize - m_hexBases[size_t(index)]);
    ++m_closed;
    // The blocks that begin with the next line now know where it starts.
    for (auto b = size_t(index) + 1; b < m_blocks.size() && m_firstLines[b] == m_closed; ++b)
        m_hexBases[b] = m_hexSize;
}

const PlainBlock &TextBlocks::Plain(qsizetype index) const
{
    const Block &block = *m_blocks[size_t(index)];
    return block.plain ? *block.plain : m_unpacked.Of(block);
}

QString TextBlocks::Text(qsizetype from, qsizetype to) const
{
    from = std::clamp<qsizetype>(from, 0, m_size);
    to = std::clamp<qsizetype>(to, from, m_size);
    QString text;
    text.reserve(to - from);
    while (from < to) {
        const Piece piece = PieceAt(from, to);
        if (piece.narrow)
            text += QLatin1StringView(reinterpret_cast<const char *>(piece.narrow), piece.size);
        else
            text += QStringView(piece.wide, piece.size);
        from += piece.size;
    }
    return text;
}

QChar TextBlocks::At(qsizetype pos) const
{
    const PlainBlock &block = Plain(pos / Chars);
    const qsizetype offset = pos % Chars;
    return block.narrow ? QChar(block.narrow[offset]) : QChar(block.wide[offset]);
}

TextBlocks::Piece TextBlocks::PieceAt(qsizetype pos, qsizetype to) const
{
    const PlainBlock &block = Plain(pos / Chars);
    const qsizetype offset = pos % Chars;
    const qsizetype size = std::min(to - pos, Chars - offset);
    if (block.narrow)
        return { block.narrow.get() + offset, nullptr, size };
    return { nullptr, block.wide.get() + offset, size };
}

std::pair<qsizetype, qsizetype> TextBlocks::FeedAt(qsizetype line) const
{
    const auto after = std::upper_bound(m_firstLines.cbegin(), m_firstLines.cend(), line);
    const qsizetype index = after - m_firstLines.cbegin() - 1;
    return { index, line - m_firstLines[size_t(index)] };
}

qsizetype TextBlocks::Feed(qsizetype line) const
{
    const auto [index, feed] = FeedAt(line);
    return index * Chars + Plain(index).feeds.at(feed);
}

qsizetype TextBlocks::HexEnd(qsizetype line) const
{
    const auto [index, feed] = FeedAt(line);
    return m_hexBases[size_t(index)] + Plain(index).hexEnds.at(feed);
}

quint32 TextBlocks::Stamp(qsizetype line) const
{
    if (line + 1 == LineCount())
        return m_openStamp;
    const auto [index, feed] = FeedAt(line);
    return Plain(index).stamps.at(feed);
}

qsizetype TextBlocks::LineOf(qsizetype pos) const
{
    pos = std::clamp<qsizetype>(pos, 0, m_size);
    const qsizetype index = pos / Chars;
    if (index == qsizetype(m_blocks.size()))
        return LineCount() - 1; // the end, where a new block would begin
    const QList<quint32> &feeds = Plain(index).feeds;
    const auto before = std::lower_bound(feeds.cbegin(), feeds.cend(), quint32(pos % Chars));
    return m_firstLines[size_t(index)] + (before - feeds.cbegin());
}

qsizetype TextBlocks::HexLineOf(qsizetype pos) const
{
    // The lines whose hex form ends at or before `pos`.
    const auto after = std::upper_bound(m_hexBases.cbegin(), m_hexBases.cend(), pos);
    if (after == m_hexBases.cbegin())
        return 0;
    const qsizetype index = after - m_hexBases.cbegin() - 1;
    const QList<qsizetype> &ends = Plain(index).hexEnds;
    const auto past = std::upper_bound(ends.cbegin(), ends.cend(), pos - m_hexBases[size_t(index)]);
    return std::min(m_firstLines[size_t(index)] + (past - ends.cbegin()), LineCount() - 1);
}

void TextBlocks::AppendCopies(qsizetype times)
{
    Q_ASSERT(m_size % Chars == 0 && m_feeds == m_closed && m_openStamp == 0
             && LineStart(LineCount() - 1) == m_size);
    const size_t blocks = m_blocks.size();
    const qsizetype feeds = m_feeds;
    const qsizetype hexSize = m_hexSize;
    m_blocks.reserve(blocks * size_t(times + 1));
    m_firstLines.reserve(m_blocks.capacity());
    m_hexBases.reserve(m_blocks.capacity());
    for (qsizetype copy = 1; copy <= times; ++copy) {
        for (size_t block = 0; block < blocks; ++block) {
            m_blocks.push_back(m_blocks[block]);
            m_firstLines.push_back(m_firstLines[block] + copy * feeds);
            m_hexBases.push_back(m_hexBases[block] + copy * hexSize);
        }
    }
    m_size *= times + 1;
    m_feeds = m_closed = feeds * (times + 1);
    m_hexSize = hexSize * (times + 1);
}

void TextBlocks::Clear()
{
    m_packer.Drop();
    m_unpacked.Clear();
    if (m_clearedBlocks.empty())
        m_clearedBlocks = std::move(m_blocks);
    else
        m_clearedBlocks.insert(m_clearedBlocks.end(), std::make_move_iterator(m_blocks.begin()),
                               std::make_move_iterator(m_blocks.end()));
    m_blocks.clear();
    m_firstLines.clear();
    m_hexBases.clear();
    m_size = m_feeds = m_closed = m_hexSize = m_packFrom = 0;
    m_openStamp = 0;
}

bool TextBlocks::ReleaseCleared()
{
    constexpr size_t BlocksAtOnce = 256; // 32 MiB and more
    if (m_clearedBlocks.empty())
        return false;
    m_clearedBlocks.resize(m_clearedBlocks.size() - std::min(m_clearedBlocks.size(), BlocksAtOnce));
    return true;
}

void TextBlocks::StartPacking(qsizetype end)
{
    std::vector<std::shared_ptr<Block>> batch;
    for (; m_packFrom < end && batch.size() < BatchBlocks; ++m_packFrom) {
        const auto &block = m_blocks[size_t(m_packFrom)];
        if (block->plain && !block->queued) // a copy's block may be in the batch already
            batch.push_back(block);
    }
    if (!batch.empty())
        m_packer.Start(std::move(batch));
}

bool TextBlocks::PackCold()
{
    m_packer.Collect();
    const qsizetype end = m_size / Chars - KeptPlain;
    if (!m_packer.Busy() && m_packFrom < end)
        StartPacking(end);
    return m_packer.Busy();
}

void TextBlocks::PackNow(qsizetype keptPlain)
{
    m_packer.Finish();
    for (const qsizetype end = m_size / Chars - keptPlain; m_packFrom < end; ++m_packFrom) {
        Block &block = *m_blocks[size_t(m_packFrom)];
        if (block.plain) {
            block.packed = Pack(*block.plain);
            block.plain.reset();
        }
    }
}

qsizetype TextBlocks::PackedBlocks() const
{
    return std::count_if(m_blocks.cbegin(), m_blocks.cend(),
                         [](const std::shared_ptr<Block> &block) { return !block->plain; });
}
