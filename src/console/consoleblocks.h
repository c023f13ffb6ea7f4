// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "consolecold.h"

#include <QString>

#include <memory>
#include <utility>
#include <vector>

// The console's text in blocks of PlainBlock::Chars characters, and the index of its lines,
// kept with the block that holds each line feed (consolecold.h): a line ends at its feed,
// and the next starts after it. Beside the blocks, two numbers a block: the lines that end
// before it, and where the first of its lines starts in the hex form.
//
// Blocks far behind the newest are packed by the packer's thread, at most a batch at a
// time, and unpacked again when asked for: the newest KeptPlain blocks stay as they are,
// and what the view shows of them costs nothing more.
//
// Costs: an append, the length of its text; Text() the length asked for; At(), LineOf(),
// LineStart(), LineEnd(), HexStart(), HexLineOf(), Stamp(): O(log n), and the unpacking of
// a packed block (a fraction of a millisecond) that is not among the last few read.
class TextBlocks
{
public:
    static constexpr qsizetype Chars = PlainBlock::Chars;
    // About 20,000 short lines: what a view, the status line and a screen reader's reading
    // of the newest lines ask for.
    static constexpr qsizetype KeptPlain = 8;
    // The characters of one block from a position on: `narrow` or `wide`.
    struct Piece
    {
        const quint8 *narrow;
        const char16_t *wide;
        qsizetype size;
    };

    TextBlocks();
    ~TextBlocks();

    qsizetype Size() const { return m_size; }
    qsizetype LineCount() const { return m_feeds + 1; }
    // Appends text; the line that its first character opens, and each that it opens after a
    // feed, takes `stamp`.
    void Append(QStringView text, quint32 stamp);
    // The oldest line that has ended but has no hex size yet takes `hexSize`.
    void CloseLine(qsizetype hexSize);
    QString Text(qsizetype from, qsizetype to) const;
    QChar At(qsizetype pos) const;
    // The characters at [pos, to) that the block of `pos` holds.
    Piece PieceAt(qsizetype pos, qsizetype to) const;

    qsizetype LineOf(qsizetype pos) const;
    qsizetype LineStart(qsizetype line) const { return line == 0 ? 0 : Feed(line - 1) + 1; }
    // Where the line's feed is, or the end of the text for the last line.
    qsizetype LineEnd(qsizetype line) const { return line + 1 < LineCount() ? Feed(line) : m_size; }
    quint32 Stamp(qsizetype line) const;
    quint32 OpenStamp() const { return m_openStamp; }
    // Where a line starts in the hex form; the last line starts at HexSize().
    qsizetype HexStart(qsizetype line) const { return line == 0 ? 0 : HexEnd(line - 1); }
    qsizetype HexSize() const { return m_hexSize; }
    qsizetype HexLineOf(qsizetype pos) const;

    // See ConsoleStore::AppendCopies: the text fills whole blocks and ends with a feed.
    void AppendCopies(qsizetype times);
    void Clear();
    bool ReleaseCleared();

    // Hands the blocks that have gone cold to the packer, and puts what it has packed in
    // place; says whether there is more to do (a timer calls it again). Cheap when there is
    // nothing to do.
    bool PackCold();
    // Packs every full block but the newest `keptPlain`, and waits for it.
    void PackNow(qsizetype keptPlain = KeptPlain);
    // How many blocks are packed.
    qsizetype PackedBlocks() const;

private:
    qsizetype Feed(qsizetype line) const;
    qsizetype HexEnd(qsizetype line) const;
    // The block that holds line `line`'s feed, and the feed's index in it.
    std::pair<qsizetype, qsizetype> FeedAt(qsizetype line) const;
    const PlainBlock &Plain(qsizetype block) const;
    // Starts a batch of the full blocks before `end` that are not packed yet.
    void StartPacking(qsizetype end);

    std::vector<std::shared_ptr<Block>> m_blocks; // shared only by AppendCopies
    // Of each block: the lines that end before it, and where the first line that ends in it
    // starts in the hex form (set once the line before it has its hex size).
    std::vector<qsizetype> m_firstLines;
    std::vector<qsizetype> m_hexBases;
    qsizetype m_size = 0;
    qsizetype m_feeds = 0;
    qsizetype m_closed = 0; // lines with their hex size
    qsizetype m_hexSize = 0; // of the lines closed
    quint32 m_openStamp = 0;
    qsizetype m_packFrom = 0; // blocks before it are packed or handed to the packer

    BlockPacker m_packer;
    mutable UnpackedBlocks m_unpacked;
    std::vector<std::shared_ptr<Block>> m_clearedBlocks; // what clears left to give back
};
