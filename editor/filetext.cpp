#include "editor/filetext.h"

#include "editor/textdecode.h"
#include "editor/textruns.h"

#include <QFile>
#include <QDateTime>
#include <QtAlgorithms>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLORY_SSE2
#endif

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Blocks read at a time while indexing.
constexpr int blocksPerRead = 4;
std::atomic<qint64> indexHold = -1;
// Blocks whose text is kept once decoded.
constexpr size_t blocksKept = 8;

qsizetype byteOrderMarkBytes(const TextFileFormat &format)
{
    if (!format.byteOrderMark)
        return 0;
    return format.encoding == TextEncoding::Utf8 ? 3 : 2;
}

// A checksum fast enough to take of every byte as the index reads it: it
// tells a block rewritten by another program from the one that was read.
quint64 blockSum(QByteArrayView bytes)
{
    constexpr quint64 prime1 = 0x9E3779B185EBCA87ULL;
    constexpr quint64 prime2 = 0xC2B2AE3D27D4EB4FULL;
    const auto round = [](quint64 lane, quint64 word) {
        lane += word * prime2;
        lane = (lane << 31) | (lane >> 33);
        return lane * prime1;
    };
    std::array<quint64, 4> lanes {prime1, prime2, 0, ~prime1};
    const char *p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 32 <= n; i += 32) {
        for (size_t lane = 0; lane < 4; ++lane) {
            quint64 word;
            std::memcpy(&word, p + i + 8 * qsizetype(lane), 8);
            lanes[lane] = round(lanes[lane], word);
        }
    }
    quint64 sum = quint64(n);
    for (const quint64 lane : lanes)
        sum = round(sum, lane);
    for (; i < n; ++i)
        sum = round(sum, quint64(static_cast<unsigned char>(p[i])));
    return sum ^ (sum >> 29);
}

struct BlockCount
{
    qsizetype length = 0;
    qsizetype breaks = 0;
    std::array<qsizetype, lineEndKinds> lineEnds {};
    // Offsets of the first and the last CR or LF byte (-1: none), and the
    // most bytes between two of them.
    qsizetype firstEnd = -1;
    qsizetype lastEnd = -1;
    qsizetype longestInside = 0;
};

enum class Counted { Yes, Invalid, NotCountable };

// The running sums of a count, kept apart from the count so that they stay
// in registers.
struct Tally
{
    qsizetype units = 0;
    qsizetype lf = 0;
    qsizetype cr = 0;
    qsizetype pairs = 0;
    std::array<qsizetype, 3> others {}; // U+2029, U+FDD0, U+FDD1
    qsizetype firstEnd = -1;
    qsizetype lastEnd = -1;
    qsizetype longestInside = 0;

    // A CR or LF byte at an offset.
    void lineEndByte(qsizetype at)
    {
        if (lastEnd < 0)
            firstEnd = at;
        else
            longestInside = std::max(longestInside, at - lastEnd - 1);
        lastEnd = at;
    }
};

// Counts the character at i, UTF-8 checked as strictly as the decoder does,
// and moves i past it; false for bytes that are not in the format.
inline bool countCharacter(const unsigned char *p, qsizetype &i, qsizetype n, bool utf8, Tally &tally)
{
    const unsigned char b = p[i];
    if (b < 0x80 || !utf8) {
        if (b == '\n') {
            ++tally.lf;
            tally.lineEndByte(i);
        } else if (b == '\r') {
            ++tally.cr;
            // A CR LF pair is counted at its CR.
            tally.pairs += i + 1 < n && p[i + 1] == '\n' ? 1 : 0;
            tally.lineEndByte(i);
        }
        ++tally.units;
        ++i;
        return true;
    }
    qsizetype length = 3;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF)
        length = 2;
    else if (b == 0xE0)
        low = 0xA0;
    else if (b == 0xED)
        high = 0x9F;
    else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    } else if (b < 0xE1 || b > 0xEF)
        return false;
    if (n - i < length || p[i + 1] < low || p[i + 1] > high)
        return false;
    for (qsizetype k = 2; k < length; ++k) {
        if ((p[i + k] & 0xC0) != 0x80)
            return false;
    }
    if (b == 0xE2 && p[i + 1] == 0x80 && p[i + 2] == 0xA9)
        ++tally.others[0];
    else if (b == 0xEF && p[i + 1] == 0xB7 && (p[i + 2] == 0x90 || p[i + 2] == 0x91))
        ++tally.others[p[i + 2] == 0x90 ? 1 : 2];
    tally.units += length == 4 ? 2 : 1;
    i += length;
    return true;
}

#ifdef QUILLORY_SSE2
// Loaded from 16 - k on, the mask of a vector's first k bytes.
alignas(16) const unsigned char firstBytes[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                  0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Sums the sixteen byte counters of a vector.
inline qsizetype sumBytes(__m128i counters)
{
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    return qsizetype(_mm_cvtsi128_si32(sums)) + qsizetype(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
}
#endif

// Counts a block's characters and line breaks from its bytes, as decoding it
// would, without decoding: for UTF-8 and the character sets that count as
// single bytes. Sixteen bytes without a character beyond ASCII (or any
// bytes, in a single-byte set) are counted at a time where the processor
// can, in byte counters summed every 255 steps.
Counted countBlock(QByteArrayView bytes, const TextFileFormat &format, BlockCount &count)
{
    const bool utf8 = format.encoding == TextEncoding::Utf8;
    if (!utf8 && !countsAsSingleBytes(format))
        return Counted::NotCountable;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    Tally tally;
    qsizetype i = 0;
#ifdef QUILLORY_SSE2
    const __m128i lfByte = _mm_set1_epi8('\n');
    const __m128i crByte = _mm_set1_epi8('\r');
    // The byte after each step is looked at too, for a CR LF pair.
    while (n - i > 16) {
        __m128i lfs = _mm_setzero_si128();
        __m128i crs = _mm_setzero_si128();
        __m128i pairs = _mm_setzero_si128();
        for (int step = 0; step < 255 && n - i > 16; ++step) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
            // The ASCII before a character beyond it is counted here, and
            // that character on its own.
            const auto high = quint32(_mm_movemask_epi8(v));
            const int ascii = utf8 && high ? int(qCountTrailingZeroBits(high)) : 16;
            const __m128i kept = _mm_loadu_si128(reinterpret_cast<const __m128i *>(firstBytes + 16 - ascii));
            const __m128i lf = _mm_and_si128(_mm_cmpeq_epi8(v, lfByte), kept);
            const __m128i cr = _mm_and_si128(_mm_cmpeq_epi8(v, crByte), kept);
            if (auto mask = quint32(_mm_movemask_epi8(_mm_or_si128(lf, cr)))) {
                const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + 1));
                lfs = _mm_sub_epi8(lfs, lf);
                crs = _mm_sub_epi8(crs, cr);
                pairs = _mm_sub_epi8(pairs, _mm_and_si128(cr, _mm_cmpeq_epi8(next, lfByte)));
                for (; mask; mask &= mask - 1)
                    tally.lineEndByte(i + qCountTrailingZeroBits(mask));
            }
            tally.units += ascii;
            i += ascii;
            if (ascii < 16 && !countCharacter(p, i, n, utf8, tally))
                return Counted::Invalid;
        }
        tally.lf += sumBytes(lfs);
        tally.cr += sumBytes(crs);
        tally.pairs += sumBytes(pairs);
    }
#endif
    while (i < n) {
        if (!countCharacter(p, i, n, utf8, tally))
            return Counted::Invalid;
    }
    const auto &[units, lf, cr, pairs, others, firstEnd, lastEnd, longestInside] = tally;
    count.firstEnd = firstEnd;
    count.lastEnd = lastEnd;
    count.longestInside = longestInside;
    count.length = units - pairs;
    count.breaks = lf + cr - pairs + others[0] + others[1] + others[2];
    count.lineEnds = {pairs, lf - pairs, cr - pairs, others[0], others[1], others[2]};
    return Counted::Yes;
}

// Makes ASCII letters lower case; false, at once, for a byte beyond ASCII.
bool lowerAscii(char *bytes, qsizetype size)
{
    qsizetype i = 0;
#ifdef QUILLORY_SSE2
    const __m128i beforeA = _mm_set1_epi8('A' - 1);
    const __m128i afterZ = _mm_set1_epi8('Z' + 1);
    const __m128i toLower = _mm_set1_epi8('a' - 'A');
    for (; size - i >= 16; i += 16) {
        auto *at = reinterpret_cast<__m128i *>(bytes + i);
        const __m128i v = _mm_loadu_si128(at);
        if (_mm_movemask_epi8(v) != 0)
            return false;
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, beforeA), _mm_cmplt_epi8(v, afterZ));
        _mm_storeu_si128(at, _mm_add_epi8(v, _mm_and_si128(upper, toLower)));
    }
#endif
    for (; i < size; ++i) {
        if ((bytes[i] & 0x80) != 0)
            return false;
        if (bytes[i] >= 'A' && bytes[i] <= 'Z')
            bytes[i] = char(bytes[i] + ('a' - 'A'));
    }
    return true;
}

// Where needle first stands in bytes from at on, or -1.
qsizetype findIn(QByteArrayView bytes, QByteArrayView needle, qsizetype at = 0)
{
#ifdef Q_OS_LINUX
    const void *hit = ::memmem(bytes.data() + at, size_t(bytes.size() - at), needle.data(), size_t(needle.size()));
    return hit ? static_cast<const char *>(hit) - bytes.data() : -1;
#else
    return bytes.indexOf(needle, at);
#endif
}

} // namespace

bool decodeStoreText(QByteArrayView bytes, const TextFileFormat &format, FileText::Decoded &decoded)
{
    const bool valid = decodeBlock(bytes, format, decoded.text);
    decoded.lineEnds.clear();
    decoded.breakOffsets.clear();
    const qsizetype length
        = storeLineBreaks(reinterpret_cast<char16_t *>(decoded.text.data()), decoded.text.size(),
                          [&decoded](LineEnd lineEnd, qsizetype at) {
                              decoded.lineEnds.push_back(lineEnd);
                              decoded.breakOffsets.push_back(int(at));
                          });
    decoded.text.truncate(length);
    return valid;
}

std::shared_ptr<FileText> FileText::open(const QString &path, const TextFileFormat &format, FileError &error,
                                         qsizetype blockBytes)
{
    using Kind = FileError::Kind;
    error = FileError::none();
    const QFileInfo info(path);
    if (!info.exists())
        error = FileError::make(info.dir().exists() ? Kind::NoFile : Kind::NoFolder, path);
    else if (!info.isFile())
        error = FileError::make(Kind::NotAFile, path);
    else if (!decodesInBlocks(format))
        error = FileError::make(Kind::Internal, path, QStringLiteral("its encoding cannot be read a block at a time"));
    if (error.failed())
        return nullptr;
    const bool twoBytes = format.encoding == TextEncoding::Utf16LE || format.encoding == TextEncoding::Utf16BE;
    blockBytes = std::max<qsizetype>(blockBytes, 4);
    if (twoBytes)
        blockBytes += blockBytes % 2;
    const qint64 size = info.size();
    std::shared_ptr<FileText> text(
        new FileText(path, format, size, std::min(size, qint64(byteOrderMarkBytes(format))), blockBytes));
    text->m_modified = info.lastModified().toMSecsSinceEpoch();
    for (QFile *file : {&text->m_indexFile, &text->m_reader}) {
        if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            error = FileError::make(info.isReadable() ? Kind::CannotOpen : Kind::NotReadable, path, file->errorString());
            return nullptr;
        }
    }
    text->m_indexer = std::thread([raw = text.get()] { raw->buildIndex(); });
    return text;
}

FileText::FileText(const QString &path, const TextFileFormat &format, qint64 bytes, qint64 firstByte,
                   qsizetype blockBytes)
    : m_path(path), m_format(format), m_bytes(bytes), m_firstByte(firstByte), m_blockBytes(blockBytes),
      m_indexFile(path), m_reader(path)
{
}

bool FileText::reads(const QString &path) const
{
#ifdef Q_OS_UNIX
    struct stat named {};
    struct stat opened {};
    return ::stat(QFile::encodeName(path).constData(), &named) == 0 && ::fstat(m_reader.handle(), &opened) == 0
           && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
#else
    return QFileInfo(path).canonicalFilePath() == QFileInfo(m_path).canonicalFilePath();
#endif
}

FileText::~FileText()
{
    m_stop = true;
    if (m_indexer.joinable())
        m_indexer.join();
}

qint64 FileText::blockEnd(const QByteArray &bytes, qint64 base, qint64 nominalEnd) const
{
    qint64 end = std::min(nominalEnd, m_bytes);
    const auto byte = [&](qint64 at) { return static_cast<unsigned char>(bytes.at(qsizetype(at - base))); };
    const qint64 available = base + bytes.size();
    if (m_format.encoding == TextEncoding::Utf16LE || m_format.encoding == TextEncoding::Utf16BE) {
        const bool little = m_format.encoding == TextEncoding::Utf16LE;
        const auto unit = [&](qint64 at) {
            return char16_t(little ? byte(at) | byte(at + 1) << 8 : byte(at) << 8 | byte(at + 1));
        };
        if (end + 1 < available && QChar::isLowSurrogate(unit(end)))
            end += 2;
        if (end + 1 < available && end - 2 >= base && unit(end - 2) == u'\r' && unit(end) == u'\n')
            end += 2;
        return std::min(end, m_bytes);
    }
    if (m_format.encoding == TextEncoding::Utf8) {
        while (end < available && (byte(end) & 0xC0) == 0x80)
            ++end;
    }
    // A CR LF pair stays in one block.
    if (end < available && end > base && byte(end - 1) == '\r' && byte(end) == '\n')
        ++end;
    return std::min(end, m_bytes);
}

// Reads at a place without moving the file's own place, so that two threads
// can read one file at once.
bool FileText::readBytes(QFile &file, qint64 at, qint64 count, QByteArray &out)
{
    out.resize(qsizetype(count));
    qint64 done = 0;
    while (done < count) {
#ifdef Q_OS_UNIX
        const qint64 got = ::pread(file.handle(), out.data() + done, size_t(count - done), off_t(at + done));
#else
        const qint64 got = file.seek(at + done) ? file.read(out.data() + done, count - done) : -1;
#endif
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

// Reads many blocks at a time, and a few bytes beyond them to see where the
// last one may end. Its blocks count characters and breaks from the part's
// start; each read's blocks go to onRead, when given, and are then cleared.
void FileText::indexPart(QFile &file, qint64 from, qint64 to, IndexPart &part, const std::atomic<bool> &stop,
                         const std::function<void(IndexPart &)> &onRead) const
{
    constexpr qint64 lookAhead = 4;
    qint64 at = from;
    QByteArray bytes;
    Decoded decoded;
    part.lineStart = from;
    const bool littleEndian = m_format.encoding == TextEncoding::Utf16LE;
    const bool bigEndian = m_format.encoding == TextEncoding::Utf16BE;
    // A line that began before the part is measured once the parts meet.
    const auto lineEnds = [&](qint64 lineEnd) {
        if (part.firstLineEnd < 0)
            part.firstLineEnd = lineEnd;
        else
            part.longestInside = std::max(part.longestInside, lineEnd - part.lineStart);
        part.lineStart = lineEnd + 1;
    };
    while (at < to && !stop) {
        const qint64 want = std::min<qint64>(m_bytes - at, std::min<qint64>(to - at, m_blockBytes * blocksPerRead) + lookAhead);
        if (!readBytes(file, at, want, bytes)) {
            part.broken = true;
            break;
        }
        const qint64 chunkEnd = at + bytes.size();
        qint64 start = at;
        // The last block of a read waits for the next read, unless it ends
        // the part.
        while (start < std::min(chunkEnd, to) && !stop) {
            if (indexHold >= 0 && start >= indexHold) {
                if (onRead)
                    onRead(part);
                while (indexHold >= 0 && start >= indexHold && !stop)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            const qint64 end = start + m_blockBytes >= to ? to : std::min(to, blockEnd(bytes, at, start + m_blockBytes));
            if (end > chunkEnd || (end < to && end + lookAhead > chunkEnd && chunkEnd < m_bytes))
                break;
            const QByteArrayView block = QByteArrayView(bytes).sliced(qsizetype(start - at), qsizetype(end - start));
            BlockCount count;
            Counted counted = countBlock(block, m_format, count);
            if (counted == Counted::Yes) {
                if (count.firstEnd >= 0) {
                    lineEnds(start + count.firstEnd);
                    part.longestInside = std::max<qint64>(part.longestInside, count.longestInside);
                    part.lineStart = start + count.lastEnd + 1;
                }
            } else if (counted == Counted::NotCountable) {
                counted = decodeStoreText(block, m_format, decoded) ? Counted::Yes : Counted::Invalid;
                count.length = decoded.text.size();
                count.breaks = qsizetype(decoded.lineEnds.size());
                for (const LineEnd lineEnd : decoded.lineEnds)
                    ++count.lineEnds[size_t(lineEnd)];
                // Lines of a file of CR line ends are told by their CRs.
                const char lineEnd = count.lineEnds[size_t(LineEnd::Cr)] > count.lineEnds[size_t(LineEnd::Lf)] ? '\r' : '\n';
                for (qsizetype found = block.indexOf(lineEnd); found >= 0; found = block.indexOf(lineEnd, found + 1)) {
                    // In UTF-16 only the byte of a whole line end counts.
                    if (littleEndian && (found % 2 != 0 || found + 1 >= block.size() || block.at(found + 1) != 0))
                        continue;
                    if (bigEndian && (found % 2 != 1 || block.at(found - 1) != 0))
                        continue;
                    lineEnds(start + found);
                }
            }
            if (counted == Counted::Invalid) {
                part.broken = true;
                break;
            }
            for (int kind = 0; kind < lineEndKinds; ++kind)
                part.lineEndCounts[size_t(kind)] += count.lineEnds[size_t(kind)];
            part.blocks.push_back({0, start, end, part.length, count.length, part.breaks, count.breaks, blockSum(block)});
            part.length += count.length;
            part.breaks += count.breaks;
            start = end;
        }
        if (onRead)
            onRead(part);
        if (part.broken)
            break;
        at = start;
    }
}

// A big file is indexed in two halves at once, the second on a thread of its
// own; the first half's blocks are told as they are found, the second's
// once the first is done.
void FileText::buildIndex()
{
    qint64 half = m_bytes;
    if (m_bytes - m_firstByte >= 32 * qint64(m_blockBytes)) {
        // Where a block could end, near the middle.
        const qint64 middle = m_firstByte + ((m_bytes - m_firstByte) / 2 & ~qint64(1));
        QByteArray around;
        if (readBytes(m_indexFile, middle - 4, 12, around))
            half = blockEnd(around, middle - 4, middle);
    }
    IndexPart second;
    std::atomic<bool> stopSecond = false;
    std::thread secondHalf;
    if (half < m_bytes) {
        secondHalf = std::thread([&] { indexPart(m_indexFile, half, m_bytes, second, stopSecond, nullptr); });
    }
    // What the index knows of the text so far.
    qsizetype length = 0;
    qsizetype breaks = 0;
    qint64 lineStart = m_firstByte;
    qint64 longest = 0;
    std::array<qsizetype, lineEndKinds> lineEndCounts {};
    // Blocks are told a read at a time: a waiter is woken once for many.
    const auto publish = [&](IndexPart &part) {
        if (part.blocks.empty())
            return;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            for (Block &block : part.blocks) {
                block.index = qsizetype(m_blocks.size());
                block.start += length;
                block.breaksBefore += breaks;
                m_blocks.push_back(block);
            }
            for (int kind = 0; kind < lineEndKinds; ++kind)
                m_lineEndCounts[size_t(kind)] = lineEndCounts[size_t(kind)] + part.lineEndCounts[size_t(kind)];
            m_longestLine = std::max({longest, part.firstLineEnd - lineStart, part.longestInside,
                                      part.blocks.back().byteEnd - (part.firstLineEnd < 0 ? lineStart : part.lineStart)});
        }
        m_indexedBytes = part.blocks.back().byteEnd;
        part.blocks.clear();
        // Only those waiting for a part are woken before the end.
        if (m_partWaiters > 0)
            m_indexed.notify_all();
    };
    IndexPart first;
    indexPart(m_indexFile, m_firstByte, half, first, m_stop, publish);
    stopSecond = first.broken || m_stop;
    if (secondHalf.joinable())
        secondHalf.join();
    m_broken = m_broken || first.broken;
    if (!m_broken && !m_stop && half < m_bytes) {
        length = first.length;
        breaks = first.breaks;
        lineEndCounts = first.lineEndCounts;
        longest = std::max({first.firstLineEnd - m_firstByte, first.longestInside, qint64(0)});
        lineStart = first.firstLineEnd < 0 ? m_firstByte : first.lineStart;
        publish(second);
        m_broken = second.broken;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_blocks.empty())
            m_blocks.push_back({0, m_firstByte, m_firstByte, 0, 0, 0, 0, blockSum({})});
        m_complete = true;
    }
    m_indexed.notify_all();
}

void FileText::holdIndexesAt(qint64 bytes)
{
    indexHold = bytes;
}

template <typename Ready>
void FileText::waitUntil(Ready ready) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_partWaiters;
    m_indexed.wait(lock, [&] { return m_complete || ready(); });
    --m_partWaiters;
}

void FileText::waitForIndex() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_indexed.wait(lock, [this] { return bool(m_complete); });
}

bool FileText::waitForIndex(int milliseconds) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_indexed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return bool(m_complete); });
}

qsizetype FileText::length() const
{
    waitForIndex();
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_blocks.back().start + m_blocks.back().length;
}

qsizetype FileText::breaks() const
{
    waitForIndex();
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_blocks.back().breaksBefore + m_blocks.back().breaks;
}

std::array<qsizetype, lineEndKinds> FileText::lineEndCounts() const
{
    waitForIndex();
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_lineEndCounts;
}

qint64 FileText::longestLine() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_longestLine;
}

FileText::Indexed FileText::indexed() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_blocks.empty())
        return {0, 0, m_firstByte, m_complete};
    const Block &last = m_blocks.back();
    return {last.start + last.length, last.breaksBefore + last.breaks, last.byteEnd, m_complete};
}

qsizetype FileText::blockCount() const
{
    waitForIndex();
    const std::lock_guard<std::mutex> lock(m_mutex);
    return qsizetype(m_blocks.size());
}

FileText::Block FileText::blockAt(qsizetype position) const
{
    waitUntil([&] { return !m_blocks.empty() && m_blocks.back().start + m_blocks.back().length > position; });
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto after = std::upper_bound(m_blocks.begin(), m_blocks.end(), position,
                                        [](qsizetype p, const Block &b) { return p < b.start; });
    return after == m_blocks.begin() ? m_blocks.front() : *(after - 1);
}

FileText::Block FileText::blockOfBreak(qsizetype breakIndex) const
{
    waitUntil([&] { return !m_blocks.empty() && m_blocks.back().breaksBefore + m_blocks.back().breaks > breakIndex; });
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto after = std::upper_bound(m_blocks.begin(), m_blocks.end(), breakIndex,
                                        [](qsizetype b, const Block &block) { return b < block.breaksBefore + block.breaks; });
    return after == m_blocks.end() ? m_blocks.back() : *after;
}

FileText::Block FileText::block(qsizetype index) const
{
    waitUntil([&] { return qsizetype(m_blocks.size()) > index; });
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_blocks[size_t(std::clamp<qsizetype>(index, 0, qsizetype(m_blocks.size()) - 1))];
}

std::shared_ptr<const FileText::Decoded> FileText::kept(const Block &block) const
{
    const std::lock_guard<std::mutex> lock(m_cacheMutex);
    const auto found = std::find_if(m_cache.begin(), m_cache.end(),
                                    [&](const auto &entry) { return entry.first == block.byteStart; });
    return found != m_cache.end() ? found->second : nullptr;
}

std::shared_ptr<const FileText::Decoded> FileText::decodePassing(const Block &block, std::shared_ptr<Decoded> &scratch) const
{
    if (std::shared_ptr<const Decoded> decoded = kept(block))
        return decoded;
    if (!scratch)
        scratch = std::make_shared<Decoded>();
    decodeInto(block, *scratch);
    return scratch;
}

// A block that can no longer be read as it was stands as replacement
// characters, its line breaks spread over it, so that every line keeps its
// place and nothing of what the file holds now is read; the file says so.
void FileText::decodeInto(const Block &block, Decoded &decoded) const
{
    QByteArray bytes;
    if (readBlocks(block, block, 0, bytes)) {
        if (!decodeStoreText(bytes, m_format, decoded))
            m_broken = true;
        return;
    }
    decoded.text = QString(block.length, QChar::ReplacementCharacter);
    decoded.lineEnds.assign(size_t(block.breaks), LineEnd::Lf);
    decoded.breakOffsets.clear();
    for (qsizetype i = 0; i < block.breaks; ++i) {
        const qsizetype at = (i + 1) * block.length / (block.breaks + 1);
        decoded.text[at] = QChar(u'\n');
        decoded.breakOffsets.push_back(int(at));
    }
}

std::shared_ptr<const FileText::Decoded> FileText::decode(const Block &block) const
{
    const std::lock_guard<std::mutex> lock(m_cacheMutex);
    const auto kept = std::find_if(m_cache.begin(), m_cache.end(),
                                   [&](const auto &entry) { return entry.first == block.byteStart; });
    if (kept != m_cache.end()) {
        m_cache.splice(m_cache.begin(), m_cache, kept);
        return m_cache.front().second;
    }
    auto decoded = std::make_shared<Decoded>();
    decodeInto(block, *decoded);
    m_cache.emplace_front(block.byteStart, decoded);
    if (m_cache.size() > blocksKept)
        m_cache.pop_back();
    return decoded;
}

std::shared_ptr<FileText> openTextFile(const QString &path, FileError &error, const TextFileFormat *chosen,
                                       qsizetype blockBytes)
{
    using Kind = FileError::Kind;
    error = FileError::none();
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return FileText::open(path, TextFileFormat(), error);
    if (!file.open(QIODevice::ReadOnly))
        return FileText::open(path, TextFileFormat(), error);
    // The start, up to its last line end, tells the format; a line end never
    // comes in the middle of a character.
    constexpr qint64 headBytes = 1 << 20;
    QByteArray head = file.read(headBytes);
    if (head.size() == headBytes) {
        const qsizetype lastLineEnd = head.lastIndexOf('\n');
        if (lastLineEnd > 0)
            head.truncate(lastLineEnd + 1 + (lastLineEnd + 1 < head.size() && head.at(lastLineEnd + 1) == 0 ? 1 : 0));
    }
    if (file.error() != QFileDevice::NoError) {
        error = FileError::make(Kind::ReadFailed, path, file.errorString());
        return nullptr;
    }
    const TextFileFormat format = chosen ? decodeTextFile(head, *chosen).format : decodeTextFile(head).format;
    if (!decodesInBlocks(format))
        return nullptr;
    return FileText::open(path, format, error, blockBytes);
}

bool FileText::readStretch(qsizetype start, qsizetype length, const std::function<void(QByteArrayView)> &onBytes,
                           const std::function<void(QStringView)> &onText,
                           const std::function<void(LineEnd)> &onBreak) const
{
    std::shared_ptr<Decoded> scratch;
    QByteArray bytes;
    for (qsizetype at = start, left = length; left > 0;) {
        const Block block = blockAt(at);
        const qsizetype from = at - block.start;
        const qsizetype take = std::min(left, block.length - from);
        at += take;
        left -= take;
        if (onBytes && from == 0 && take == block.length) {
            // Whole blocks after it are read with it, up to a megabyte.
            const qsizetype firstAt = at;
            const qsizetype firstLeft = left;
            qint64 byteEnd = block.byteEnd;
            while (left > 0 && byteEnd - block.byteStart < (1 << 20)) {
                const Block next = blockAt(at);
                if (next.start != at || next.length > left || next.length == 0)
                    break;
                byteEnd = next.byteEnd;
                at += next.length;
                left -= next.length;
            }
            if (readBlocks(block, blockAt(at - 1), 0, bytes) && bytes.size() == byteEnd - block.byteStart) {
                onBytes(bytes);
                continue;
            }
            // Block by block, what cannot be read reads as it shows.
            at = firstAt;
            left = firstLeft;
        }
        const std::shared_ptr<const Decoded> decoded = decodePassing(block, scratch);
        // What the file no longer holds reads as replacement characters, as
        // it shows.
        if (decoded->text.size() < from + take) {
            m_broken = true;
            onText(QString(take, QChar::ReplacementCharacter));
            continue;
        }
        const qsizetype firstBreak
            = std::lower_bound(decoded->breakOffsets.begin(), decoded->breakOffsets.end(), int(from))
              - decoded->breakOffsets.begin();
        readRuns(QStringView(decoded->text).mid(from, take),
                 [&](qsizetype n) { return decoded->lineEnds[size_t(firstBreak + n)]; }, onText, onBreak);
    }
    return true;
}

bool FileText::searchesBytes(QStringView what) const
{
    if (what.isEmpty())
        return false;
    if (m_format.encoding == TextEncoding::Utf8)
        return what.isValidUtf16();
    if (!countsAsSingleBytes(m_format))
        return false;
    return std::all_of(what.begin(), what.end(), [](QChar c) { return c.unicode() < 0x80; });
}

qsizetype FileText::findBytes(QStringView what, qsizetype from, qsizetype startsBefore, qsizetype endsBy) const
{
    qsizetype found = -1;
    (void)findAllBytes(what, from, startsBefore, endsBy, [&found](qsizetype at) {
        found = at;
        return false;
    });
    return found;
}

bool FileText::findAllBytes(QStringView what, qsizetype from, qsizetype startsBefore, qsizetype endsBy,
                            const std::function<bool(qsizetype position)> &onHit) const
{
    const QByteArray needle = what.toUtf8();
    if (!searchesBytes(what) || from >= startsBefore)
        return true;
    // Blocks read at a time, and the bytes an occurrence may run on beyond.
    constexpr qsizetype blocksPerSearch = 16;
    const qsizetype overlap = needle.size() - 1;
    QByteArray bytes;
    for (Block first = blockAt(from); first.start < startsBefore;) {
        const Block last = block(first.index + blocksPerSearch - 1);
        const qint64 end = std::min(last.byteEnd + overlap, m_bytes);
        if (!readBlocks(first, last, end - last.byteEnd, bytes))
            return false;
        const qsizetype searched = qsizetype(last.byteEnd - first.byteStart);
        // Characters are counted up to each occurrence, on from the last.
        qsizetype counted = 0;
        qsizetype position = first.start;
        for (qsizetype at = 0; at < searched; ++at) {
            at = findIn(bytes, needle, at);
            if (at < 0 || at >= searched)
                break;
            BlockCount count;
            (void)countBlock(QByteArrayView(bytes).sliced(counted, at - counted), m_format, count);
            position += count.length;
            counted = at;
            if (position < from)
                continue;
            if (position >= startsBefore || position + what.size() > endsBy || !onHit(position))
                return true;
            // The next one starts after this one.
            at += needle.size() - 1;
            from = position + what.size();
        }
        // The last block is given for any beyond it.
        first = block(last.index + 1);
        if (first.index != last.index + 1)
            break;
    }
    return true;
}

bool FileText::readBlocks(const Block &first, const Block &last, qint64 extra, QByteArray &out) const
{
    if (!readBytes(m_reader, first.byteStart, last.byteEnd + extra - first.byteStart, out)) {
        // Shortened since it was read, rather than failing to be read.
        if (m_reader.size() < last.byteEnd)
            m_changed = true;
        m_broken = true;
        return false;
    }
    for (qsizetype index = first.index; index <= last.index; ++index) {
        const Block each = index == first.index ? first : index == last.index ? last : block(index);
        const QByteArrayView bytes = QByteArrayView(out).sliced(each.byteStart - first.byteStart, each.byteEnd - each.byteStart);
        if (blockSum(bytes) != each.sum) {
            m_changed = true;
            m_broken = true;
            return false;
        }
    }
    return true;
}

bool FileText::verify() const
{
    const qsizetype count = [&] {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return qsizetype(m_blocks.size());
    }();
    constexpr qsizetype blocksPerCheck = 16;
    QByteArray bytes;
    for (qsizetype index = 0; index < count && !m_changed; index += blocksPerCheck) {
        if (!readBlocks(block(index), block(std::min(count, index + blocksPerCheck) - 1), 0, bytes))
            break;
    }
    return !m_changed;
}

bool FileText::mayHoldIgnoringCase(QStringView what, qsizetype from, qsizetype to) const
{
    if (!searchesBytes(what) || !std::all_of(what.begin(), what.end(), [](QChar c) { return c.unicode() < 0x80; })
        || from >= to)
        return true;
    QByteArray needle = what.toLatin1();
    (void)lowerAscii(needle.data(), needle.size());
    const Block first = blockAt(from);
    const Block last = blockAt(to - 1);
    constexpr qint64 chunk = 1 << 20;
    QByteArray bytes;
    for (qint64 at = first.byteStart; at < last.byteEnd; at += chunk) {
        const qint64 end = std::min(last.byteEnd, at + chunk + needle.size() - 1);
        if (!readBytes(m_reader, at, end - at, bytes))
            return true;
        // A character beyond ASCII may hold what's letters in other forms.
        if (!lowerAscii(bytes.data(), bytes.size()) || findIn(bytes, needle) >= 0)
            return true;
    }
    return false;
}
