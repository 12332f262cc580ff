#pragma once

#include "editor/charsets.h"
#include "editor/fileerror.h"
#include "editor/lineend.h"

#include <QFile>
#include <QString>

#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The text of a file read from the file itself, for files too big to be
// decoded whole: the bytes are decoded a block at a time when they are read,
// and an index of the blocks, built front to back on a thread of its own,
// tells where each block's characters and lines begin. Characters count as
// in the text store: a line break is one, whatever its line end.
class FileText
{
public:
    struct Block
    {
        qsizetype index = 0;
        qint64 byteStart = 0;
        qint64 byteEnd = 0;
        // The position of its first character, and how many it has.
        qsizetype start = 0;
        qsizetype length = 0;
        // Line breaks before it, and in it.
        qsizetype breaksBefore = 0;
        qsizetype breaks = 0;
        // A checksum of its bytes as the index read them.
        quint64 sum = 0;
    };

    struct Decoded
    {
        // Each line break as one u'\n'.
        QString text;
        // The line end of each break, and where it stands, in order.
        std::vector<LineEnd> lineEnds;
        std::vector<int> breakOffsets;
    };

    // Opens the file, whose text is in format (one that decodesInBlocks()),
    // and starts indexing it; null with the error when it cannot be read.
    static std::shared_ptr<FileText> open(const QString &path, const TextFileFormat &format, FileError &error,
                                          qsizetype blockBytes = 1 << 16);
    ~FileText();
    FileText(const FileText &) = delete;
    FileText &operator=(const FileText &) = delete;

    const QString &path() const { return m_path; }
    const TextFileFormat &format() const { return m_format; }
    qint64 bytes() const { return m_bytes; }
    // When the file was last written before it was opened, in milliseconds
    // since 1970 (UTC).
    qint64 modified() const { return m_modified; }
    // Whether path names the very file being read (not one put in its
    // place since).
    bool reads(const QString &path) const;

    // How far the index has come, in bytes of the file.
    qint64 indexedBytes() const { return m_indexedBytes; }
    // The text the index has gone through so far, without waiting: its
    // characters and line breaks, and the bytes of the file they take.
    struct Indexed
    {
        qsizetype length = 0;
        qsizetype breaks = 0;
        qint64 bytes = 0;
        bool complete = false;
    };
    Indexed indexed() const;
    bool indexComplete() const { return m_complete; }
    // False when the index met bytes that are not in the format, or the
    // file could no longer be read (it was shortened or went away): the
    // index then ends there.
    bool intact() const { return !m_broken; }
    // True once a block read again was found to hold other bytes than the
    // index read: another program wrote over the file. Such a block then
    // reads as replacement characters between its line breaks (the file is
    // no longer intact), never as the new bytes mixed in with the old.
    bool changed() const { return m_changed; }
    // Reads every block the index has gone through again, and tells whether
    // they all hold what they held; false also sets changed().
    bool verify() const;
    void waitForIndex() const;
    // Waits at most that long; true once the index is complete.
    bool waitForIndex(int milliseconds) const;

    // For tests: indexes begun from now on go no further than bytes into
    // their files until the hold moves (-1: no hold).
    static void holdIndexesAt(qint64 bytes);

    // Characters and line breaks of the whole text, once the index is complete.
    qsizetype length() const;
    qsizetype breaks() const;
    qsizetype blockCount() const;
    // The most bytes a line takes, its line end not counted: at least as
    // many as it has characters. While indexing, of the lines indexed so far.
    qint64 longestLine() const;
    // How many breaks of each kind of line end the text has.
    std::array<qsizetype, lineEndKinds> lineEndCounts() const;

    // The block that holds the character at position (the last block for
    // the end of the text), or the break numbered breakIndex from 0, waiting
    // only until the index gets there.
    Block blockAt(qsizetype position) const;
    Block blockOfBreak(qsizetype breakIndex) const;
    Block block(qsizetype index) const;

    // The block's text. The last few blocks decoded are kept.
    std::shared_ptr<const Decoded> decode(const Block &block) const;
    // The same for a reading that goes through many blocks: one of those
    // kept as it is, else decoded into scratch (made when null, and used
    // again for the next block) without taking the place of those kept.
    std::shared_ptr<const Decoded> decodePassing(const Block &block, std::shared_ptr<Decoded> &scratch) const;
    // The characters [start, start + length) as runs of text, each break
    // with its line end; whole blocks go to onBytes as the file's own bytes
    // instead, where it is given. False when the file could not be read.
    bool readStretch(qsizetype start, qsizetype length, const std::function<void(QByteArrayView)> &onBytes,
                     const std::function<void(QStringView)> &onText, const std::function<void(LineEnd)> &onBreak) const;

    // Whether what can be looked for in the file's bytes as they are (UTF-8,
    // or ASCII in a single-byte character set): then findBytes() finds it.
    bool searchesBytes(QStringView what) const;
    // The first position in [from, startsBefore) where what stands, ending
    // by endsBy; -1 for none. The bytes are searched without being decoded.
    qsizetype findBytes(QStringView what, qsizetype from, qsizetype startsBefore, qsizetype endsBy) const;
    // Each such place in turn, none overlapping the one before, until onHit
    // says false; false when the file could not be read.
    bool findAllBytes(QStringView what, qsizetype from, qsizetype startsBefore, qsizetype endsBy,
                      const std::function<bool(qsizetype position)> &onHit) const;

    // Whether the characters [from, to) might hold what, compared as the
    // finder compares ignoring case: false only where they are all ASCII
    // and hold it in no mix of upper and lower case. Always true for a what
    // beyond ASCII.
    bool mayHoldIgnoringCase(QStringView what, qsizetype from, qsizetype to) const;

private:
    FileText(const QString &path, const TextFileFormat &format, qint64 bytes, qint64 firstByte, qsizetype blockBytes);
    // What indexing a stretch of the file found: its blocks, counting
    // characters and breaks from its start; the first line end in it and
    // the longest line after that, in bytes; where its last line began.
    struct IndexPart
    {
        std::vector<Block> blocks;
        qsizetype length = 0;
        qsizetype breaks = 0;
        std::array<qsizetype, lineEndKinds> lineEndCounts {};
        qint64 firstLineEnd = -1;
        qint64 longestInside = 0;
        qint64 lineStart = 0;
        bool broken = false;
    };
    void buildIndex();
    void indexPart(QFile &file, qint64 from, qint64 to, IndexPart &part, const std::atomic<bool> &stop,
                   const std::function<void(IndexPart &)> &onRead) const;
    // The end of the block that would end at nominalEnd, moved on so that it
    // splits neither a character nor a CR LF pair; bytes hold the file from
    // byte base on.
    qint64 blockEnd(const QByteArray &bytes, qint64 base, qint64 nominalEnd) const;
    template <typename Ready>
    void waitUntil(Ready ready) const;
    static bool readBytes(QFile &file, qint64 at, qint64 count, QByteArray &out);
    // The block's text if it is among those kept, else null.
    std::shared_ptr<const Decoded> kept(const Block &block) const;
    void decodeInto(const Block &block, Decoded &decoded) const;
    // Reads [first.byteStart, last.byteEnd) and extra bytes beyond into out;
    // false, marking the file, when it cannot be read or a block's bytes
    // are no longer those indexed.
    bool readBlocks(const Block &first, const Block &last, qint64 extra, QByteArray &out) const;

    const QString m_path;
    const TextFileFormat m_format;
    const qint64 m_bytes;
    const qint64 m_firstByte;
    const qsizetype m_blockBytes;
    qint64 m_modified = 0;
    // Opened at once, so that both read the file that was opened even after
    // another is put in its place.
    QFile m_indexFile;
    mutable QFile m_reader;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_indexed;
    mutable std::atomic<int> m_partWaiters = 0;
    std::vector<Block> m_blocks;
    std::array<qsizetype, lineEndKinds> m_lineEndCounts {};
    qint64 m_longestLine = 0;
    std::atomic<qint64> m_indexedBytes = 0;
    std::atomic<bool> m_complete = false;
    mutable std::atomic<bool> m_broken = false;
    mutable std::atomic<bool> m_changed = false;
    std::atomic<bool> m_stop = false;
    std::thread m_indexer;

    mutable std::mutex m_cacheMutex;
    mutable std::list<std::pair<qint64, std::shared_ptr<const Decoded>>> m_cache;
};

// Opens a text file to be read from the file itself, in the format its start
// shows (or the chosen one, its byte-order mark taken as one). Null without
// an error where that format cannot be decoded a block at a time.
std::shared_ptr<FileText> openTextFile(const QString &path, FileError &error, const TextFileFormat *chosen = nullptr,
                                       qsizetype blockBytes = 1 << 16);

// Decodes a block's bytes as the store keeps text: each line break as one
// u'\n', with its line end noted. A CR LF pair cut by the block's end counts
// as a lone CR. False when the bytes are not in the format.
bool decodeStoreText(QByteArrayView bytes, const TextFileFormat &format, FileText::Decoded &decoded);
