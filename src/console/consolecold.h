// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <vector>

// A block of the console's text as it is written: its characters, one byte each while they
// are Latin-1 and two once one is not, and the index of the lines it ends: where each line
// feed is in it, the time of the line that the feed ends and where the hex form's next line
// starts. The index costs 16 bytes a line.
struct PlainBlock
{
    // 128 KiB and more, so that glibc maps each block on its own (main fixes its threshold),
    // and a clear can give them back one by one.
    static constexpr qsizetype Chars = 1 << 17;

    std::unique_ptr<quint8[]> narrow { new quint8[Chars] };
    std::unique_ptr<char16_t[]> wide;
    QList<quint32> feeds; // offsets in the block
    QList<quint32> stamps; // see ConsoleStore::Stamp
    // The hex form's size of the block's lines up to and with each: where the next begins,
    // counted from where the first line that the block ends begins.
    QList<qsizetype> hexEnds;

    void Widen(qsizetype used);
};

// A block once it has scrolled far out of view: packed, a full block at a time, in one zlib
// stream, its feeds left out (they are found again in its text). Traffic of short lines
// packs to a twentieth and less: about 3 bytes a line, index and all.
struct Block
{
    std::unique_ptr<PlainBlock> plain; // while it is not packed
    QByteArray packed;
    bool queued = false; // handed to the packer
};

QByteArray Pack(const PlainBlock &block);
std::unique_ptr<PlainBlock> Unpack(const QByteArray &packed);

// Packs blocks on a thread of its own at the lowest priority, one batch at a time, so that a
// flood is not slowed by it: while no core is free, the blocks wait plain. What it packed is
// put in place on the window's thread, by Collect().
class BlockPacker
{
public:
    BlockPacker();
    ~BlockPacker();

    bool Busy() const { return m_batch != nullptr; }
    // Starts to pack the blocks (none may be written while it runs); false while busy.
    bool Start(std::vector<std::shared_ptr<Block>> blocks);
    // Puts what the finished batch packed in place of the plain blocks; says whether a
    // batch has finished.
    bool Collect();
    // Waits for the batch and puts it in place.
    void Finish();
    // The blocks of the batch were cleared: what it packs is thrown away when it is done.
    void Drop() { m_dropped = m_batch != nullptr; }

private:
    struct Batch
    {
        std::vector<std::shared_ptr<Block>> blocks;
        std::vector<QByteArray> packed;
        std::atomic<bool> done { false };
    };
    void Install();

    QThreadPool m_pool;
    std::shared_ptr<Batch> m_batch;
    bool m_dropped = false;
};

// The last few packed blocks that were read, unpacked: a search or a save unpacks each
// block once, and the view and the status line, which ask for the same lines again and
// again, find them here. A block found stays valid until seven others have been unpacked.
class UnpackedBlocks
{
public:
    static constexpr size_t Kept = 8; // about 1.2 MiB

    const PlainBlock &Of(const Block &block);
    void Clear() { m_entries.clear(); }

private:
    struct Entry
    {
        const Block *block;
        std::unique_ptr<PlainBlock> plain;
    };
    std::vector<Entry> m_entries; // the last used first
};
