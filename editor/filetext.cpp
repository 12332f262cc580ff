#include "editor/filetext.h"

#include <QFile>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// Blocks read at a time while indexing.
constexpr int blocksPerRead = 16;
// Blocks whose text is kept once decoded.
constexpr size_t blocksKept = 8;

bool isBreakCandidate(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

qsizetype byteOrderMarkBytes(const TextFileFormat &format)
{
    if (!format.byteOrderMark)
        return 0;
    return format.encoding == TextEncoding::Utf8 ? 3 : 2;
}

} // namespace

bool decodeStoreText(QByteArrayView bytes, const TextFileFormat &format, FileText::Decoded &decoded)
{
    const bool valid = decodeBlock(bytes, format, decoded.text);
    decoded.lineEnds.clear();
    decoded.breakOffsets.clear();
    char16_t *p = reinterpret_cast<char16_t *>(decoded.text.data());
    const qsizetype size = decoded.text.size();
    qsizetype out = 0;
    for (qsizetype in = 0; in < size; ++in) {
        const char16_t c = p[in];
        if ((c > u'\r' && c < 0x2029) || !isBreakCandidate(c)) {
            p[out++] = c;
            continue;
        }
        LineEnd kind = LineEnd::Lf;
        switch (c) {
        case u'\r':
            kind = LineEnd::Cr;
            if (in + 1 < size && p[in + 1] == u'\n') {
                kind = LineEnd::CrLf;
                ++in;
            }
            break;
        case 0x2029: kind = LineEnd::ParagraphSeparator; break;
        case 0xFDD0: kind = LineEnd::Fdd0; break;
        case 0xFDD1: kind = LineEnd::Fdd1; break;
        default: break;
        }
        decoded.lineEnds.push_back(kind);
        decoded.breakOffsets.push_back(int(out));
        p[out++] = u'\n';
    }
    decoded.text.truncate(out);
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

bool FileText::readBytes(QIODevice &file, qint64 at, qint64 count, QByteArray &out)
{
    out.resize(qsizetype(count));
    if (!file.seek(at))
        return false;
    qint64 done = 0;
    while (done < count) {
        const qint64 got = file.read(out.data() + done, count - done);
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

// Reads many blocks at a time, and a few bytes beyond them to see where the
// last one may end.
void FileText::buildIndex()
{
    QFile &file = m_indexFile;
    constexpr qint64 lookAhead = 4;
    qint64 at = m_firstByte;
    qsizetype position = 0;
    qsizetype breaks = 0;
    QByteArray bytes;
    Decoded decoded;
    while (at < m_bytes && !m_stop) {
        const qint64 want = std::min<qint64>(m_bytes - at, qint64(m_blockBytes) * blocksPerRead + lookAhead);
        if (!readBytes(file, at, want, bytes)) {
            m_broken = true;
            break;
        }
        const qint64 chunkEnd = at + bytes.size();
        qint64 start = at;
        // The last block of a read waits for the next read, unless it ends
        // the file.
        while (start < chunkEnd && !m_stop) {
            const qint64 end = blockEnd(bytes, at, start + m_blockBytes);
            if (end + lookAhead > chunkEnd && chunkEnd < m_bytes)
                break;
            const bool valid = decodeStoreText(QByteArrayView(bytes).sliced(qsizetype(start - at), qsizetype(end - start)),
                                               m_format, decoded);
            if (!valid) {
                m_broken = true;
                break;
            }
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                for (const LineEnd lineEnd : decoded.lineEnds)
                    ++m_lineEndCounts[size_t(lineEnd)];
                m_blocks.push_back({qsizetype(m_blocks.size()), start, end, position, decoded.text.size(), breaks,
                                    qsizetype(decoded.lineEnds.size())});
            }
            position += decoded.text.size();
            breaks += qsizetype(decoded.lineEnds.size());
            m_indexedBytes = end;
            m_indexed.notify_all();
            start = end;
        }
        if (m_broken)
            break;
        at = start;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_blocks.empty())
            m_blocks.push_back({0, m_firstByte, m_firstByte, 0, 0, 0, 0});
        m_complete = true;
    }
    m_indexed.notify_all();
}

template <typename Ready>
void FileText::waitUntil(Ready ready) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_indexed.wait(lock, [&] { return m_complete || ready(); });
}

void FileText::waitForIndex() const
{
    waitUntil([] { return false; });
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
    QByteArray bytes;
    // What can no longer be read reads as nothing, and says so.
    if (!readBytes(m_reader, block.byteStart, block.byteEnd - block.byteStart, bytes)
        || !decodeStoreText(bytes, m_format, *decoded))
        m_broken = true;
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
