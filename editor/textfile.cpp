#include "editor/textfile.h"

#include "editor/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <array>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLORY_SSE2
#endif


namespace {

// Bytes 0x80 to 0x9F of Windows-1252; the five it leaves unassigned keep
// their C1 control codes, so that every byte has a character and back.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte of a character in Windows-1252, or -1.
int windows1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    const auto *found = std::find(windows1252High.begin(), windows1252High.end(), c);
    return found == windows1252High.end() ? -1 : int(0x80 + (found - windows1252High.begin()));
}

bool isLineEndCandidate(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

// The first character at or after p that may start a line end (any control
// up to CR, or anything from U+2029 on), or end. Prose has one in about
// eighty characters, so eight are looked at a time where the processor can.
const char16_t *nextLineEndCandidate(const char16_t *p, const char16_t *end)
{
#ifdef QUILLORY_SSE2
    const __m128i cr = _mm_set1_epi16(u'\r');
    const __m128i paragraphSeparator = _mm_set1_epi16(short(0x2029));
    const __m128i zero = _mm_setzero_si128();
    for (; end - p >= 8; p += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        // Unsigned saturating differences: zero where c <= CR, and where c >= U+2029.
        const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(c, cr), zero);
        const __m128i high = _mm_cmpeq_epi16(_mm_subs_epu16(paragraphSeparator, c), zero);
        if (const int found = _mm_movemask_epi8(_mm_or_si128(low, high)))
            return p + qCountTrailingZeroBits(quint32(found)) / 2;
    }
#endif
    for (; p != end; ++p) {
        if (*p <= u'\r' || *p >= 0x2029)
            return p;
    }
    return end;
}

char16_t windows1252Character(char byte)
{
    const auto b = static_cast<unsigned char>(byte);
    return (b >= 0x80 && b < 0xA0) ? windows1252High[b - 0x80] : char16_t(b);
}

char16_t *decodeWindows1252(QByteArrayView bytes, char16_t *out)
{
    const char *p = bytes.begin();
    const char *const end = bytes.end();
#ifdef QUILLORY_SSE2
    // Sixteen bytes below 0x80 are the same sixteen characters.
    const __m128i zero = _mm_setzero_si128();
    for (; end - p >= 16; p += 16, out += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        if (_mm_movemask_epi8(b) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(b, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(b, zero));
        } else {
            std::transform(p, p + 16, out, windows1252Character);
        }
    }
#endif
    return std::transform(p, end, out, windows1252Character);
}

// Counts the line ends of a text as it is decoded, a piece at a time; the
// most common one becomes the format's (the platform's where the text has
// none), and the lines that end otherwise are listed. Only the lines where
// the kind of line end changes are noted on the way, so that a file whose
// lines all end alike (or all but the first) costs nothing per line.
class LineEndScan
{
public:
    // Scans text from position from up to end, and gives where the next scan
    // starts: a CR at the end waits for the next piece unless this is the
    // last.
    qsizetype scan(const char16_t *text, qsizetype from, qsizetype end, bool last)
    {
        const char16_t *p = text + from;
        const char16_t *const stop = text + end;
        while ((p = nextLineEndCandidate(p, stop)) != stop) {
            switch (*p) {
            case u'\r':
                if (p + 1 == stop) {
                    if (!last)
                        return p - text;
                    add(LineEnd::Cr);
                } else if (p[1] == u'\n') {
                    add(LineEnd::CrLf);
                    ++p;
                } else {
                    add(LineEnd::Cr);
                }
                break;
            case u'\n': add(LineEnd::Lf); break;
            case 0x2029: add(LineEnd::ParagraphSeparator); break;
            case 0xFDD0: add(LineEnd::Fdd0); break;
            case 0xFDD1: add(LineEnd::Fdd1); break;
            default: break;
            }
            ++p;
        }
        return end;
    }

    void finish(DecodedTextFile &decoded) const
    {
        if (m_lines == 0)
            return;
        const auto most = std::max_element(m_counts.begin(), m_counts.end());
        const LineEnd common = LineEnd(most - m_counts.begin());
        decoded.format.lineEnd = common;
        for (size_t run = 0; run < m_runs.size(); ++run) {
            const LineEnd kind = LineEnd(m_runs[run] & 7);
            if (kind == common)
                continue;
            const qsizetype end = run + 1 < m_runs.size() ? qsizetype(m_runs[run + 1] >> 3) : m_lines;
            for (qsizetype line = qsizetype(m_runs[run] >> 3); line < end; ++line)
                decoded.otherLineEnds.emplace_back(line, kind);
        }
    }

private:
    void add(LineEnd kind)
    {
        if (int(kind) != m_runKind) {
            m_runs.push_back(quint64(m_lines) << 3 | quint64(kind));
            m_runKind = int(kind);
        }
        ++m_counts[size_t(kind)];
        ++m_lines;
    }

    std::array<qsizetype, lineEndKinds> m_counts {};
    qsizetype m_lines = 0;
    // Where each run of lines that end alike starts: the line, and in the
    // low three bits how they end.
    std::vector<quint64> m_runs;
    int m_runKind = -1;
};

// Where the bytes of a text come from: a piece at a time, and once more from
// the start when they turn out not to be in the encoding first taken.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // How many bytes there are, as far as is known before reading them.
    virtual qint64 expectedSize() const = 0;
    // The next piece, empty at the end; false when reading fails. Every
    // piece but the last is at least 4 kB long, so the first holds any
    // byte-order mark.
    virtual bool next(QByteArrayView &piece) = 0;
    virtual bool rewind() = 0;
};

// A file is read a megabyte at a time, so that its bytes and its whole text
// are never in memory together, and the text of each piece is still in the
// processor's cache when it is scanned for line ends.
constexpr qsizetype readPieceBytes = 1 << 20;

class ByteViewSource : public ByteSource
{
public:
    explicit ByteViewSource(QByteArrayView bytes) : m_bytes(bytes) {}
    qint64 expectedSize() const override { return m_bytes.size(); }
    bool next(QByteArrayView &piece) override
    {
        piece = m_bytes.sliced(m_at, std::min(readPieceBytes, m_bytes.size() - m_at));
        m_at += piece.size();
        return true;
    }
    bool rewind() override
    {
        m_at = 0;
        return true;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

class FileSource : public ByteSource
{
public:
    explicit FileSource(QFile &file)
        : m_file(file)
        , m_expectedSize(file.size())
        // A file of the system may say it is empty and still have bytes.
        , m_buffer(qsizetype(qBound<qint64>(4096, m_expectedSize + 1, readPieceBytes)), Qt::Uninitialized)
    {
    }
    qint64 expectedSize() const override { return m_expectedSize; }
    bool next(QByteArrayView &piece) override
    {
        qsizetype filled = 0;
        while (filled < m_buffer.size()) {
            const qint64 read = m_file.read(m_buffer.data() + filled, m_buffer.size() - filled);
            if (read < 0)
                return false;
            if (read == 0)
                break;
            filled += qsizetype(read);
        }
        piece = QByteArrayView(m_buffer.constData(), filled);
        return true;
    }
    bool rewind() override { return m_file.seek(0); }

private:
    QFile &m_file;
    qint64 m_expectedSize;
    QByteArray m_buffer;
};

// Decodes bytes in one encoding, piece by piece, into one string sized for
// the whole text at the start, and scans its line ends on the way.
class PieceDecoder
{
public:
    PieceDecoder(TextEncoding encoding, qint64 expectedBytes, QString &text)
        : m_encoding(encoding)
        // Strict: no overlong forms, no surrogates, nothing cut off at the
        // end. A second byte-order mark after the first stays in the text.
        , m_utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom)
        , m_text(text)
    {
        const qsizetype bytes = qsizetype(std::max<qint64>(expectedBytes, 0));
        const qsizetype characters = encoding == TextEncoding::Utf8 ? m_utf8.requiredSpace(bytes) + probeSpace()
                                     : encoding == TextEncoding::Windows1252 ? bytes
                                                                             : bytes / 2;
        // The size exactly: growing would round it up. A second pass over the
        // same bytes keeps the memory of the first where it is large enough.
        if (m_text.capacity() >= characters) {
            m_text.resize(characters);
        } else {
            m_text = QString();
            m_text = QString(characters, Qt::Uninitialized);
        }
        m_data = reinterpret_cast<char16_t *>(m_text.data());
    }

    // False when the bytes are not in the encoding.
    bool add(QByteArrayView bytes)
    {
        if (!decode(bytes))
            return false;
        m_scanned = m_lineEnds.scan(m_data, m_scanned, m_used, false);
        return true;
    }

    // False when the bytes end in the middle of a character.
    bool finish(DecodedTextFile &decoded)
    {
        if (m_encoding == TextEncoding::Utf8) {
            // The decoder keeps a sequence that the last piece cut off for
            // the next one; a byte that can start nothing shows it.
            makeRoom(probeSpace());
            m_utf8.appendToBuffer(reinterpret_cast<QChar *>(m_data + m_used), "\n");
            if (m_utf8.hasError())
                return false;
        } else if (m_oddByte >= 0) {
            return false;
        }
        m_lineEnds.scan(m_data, m_scanned, m_used, true);
        m_text.resize(m_used);
        // Multibyte characters leave room at the end; it goes back to the
        // system without moving the text.
        m_text.squeeze();
        m_lineEnds.finish(decoded);
        return true;
    }

private:
    qsizetype probeSpace() const { return m_utf8.requiredSpace(1); }

    void makeRoom(qsizetype characters)
    {
        if (m_text.size() - m_used >= characters)
            return;
        // The file was longer than it said.
        m_text.resize(std::max(m_used + characters, m_text.size() + m_text.size() / 2));
        m_data = reinterpret_cast<char16_t *>(m_text.data());
    }

    bool decode(QByteArrayView bytes)
    {
        switch (m_encoding) {
        case TextEncoding::Utf8: {
            makeRoom(m_utf8.requiredSpace(bytes.size()));
            const QChar *end = m_utf8.appendToBuffer(reinterpret_cast<QChar *>(m_data + m_used), bytes);
            m_used = reinterpret_cast<const char16_t *>(end) - m_data;
            return !m_utf8.hasError();
        }
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE:
            decodeUtf16(bytes, m_encoding == TextEncoding::Utf16BE);
            return true;
        case TextEncoding::Windows1252:
            makeRoom(bytes.size());
            m_used = decodeWindows1252(bytes, m_data + m_used) - m_data;
            return true;
        }
        return false;
    }

    // UTF-16 is taken code unit by code unit, unpaired surrogates included,
    // so that it goes back unchanged.
    void decodeUtf16(QByteArrayView bytes, bool bigEndian)
    {
        makeRoom(bytes.size() / 2 + 1);
        if (m_oddByte >= 0 && !bytes.isEmpty()) {
            const char pair[2] = {char(m_oddByte), bytes.front()};
            m_data[m_used++] = bigEndian ? qFromBigEndian<char16_t>(pair) : qFromLittleEndian<char16_t>(pair);
            m_oddByte = -1;
            bytes = bytes.sliced(1);
        }
        const qsizetype units = bytes.size() / 2;
        if (bigEndian)
            qFromBigEndian<char16_t>(bytes.data(), units, m_data + m_used);
        else
            qFromLittleEndian<char16_t>(bytes.data(), units, m_data + m_used);
        m_used += units;
        if (bytes.size() % 2)
            m_oddByte = static_cast<unsigned char>(bytes.back());
    }

    TextEncoding m_encoding;
    QStringDecoder m_utf8;
    QString &m_text;
    char16_t *m_data = nullptr;
    qsizetype m_used = 0;
    qsizetype m_scanned = 0;
    // A UTF-16 code unit whose second byte is in the next piece.
    int m_oddByte = -1;
    LineEndScan m_lineEnds;
};

// The encoding that the first bytes of a text suggest, and how many of them
// are its byte-order mark.
TextFileFormat guessFormat(QByteArrayView head, qsizetype &markBytes)
{
    TextFileFormat format;
    format.byteOrderMark = true;
    if (head.startsWith("\xEF\xBB\xBF")) {
        format.encoding = TextEncoding::Utf8;
        markBytes = 3;
    } else if (head.startsWith("\xFF\xFE")) {
        format.encoding = TextEncoding::Utf16LE;
        markBytes = 2;
    } else if (head.startsWith("\xFE\xFF")) {
        format.encoding = TextEncoding::Utf16BE;
        markBytes = 2;
    } else {
        format.byteOrderMark = false;
        markBytes = 0;
    }
    return format;
}

// Decodes what source gives (see decodeTextFile); false when reading fails.
// Bytes that turn out not to be in the encoding guessed from their start
// (UTF-16 of an odd length included) are read again as Windows-1252, which
// takes any byte.
bool decodeFrom(ByteSource &source, DecodedTextFile &decoded)
{
    QByteArrayView piece;
    if (!source.next(piece))
        return false;
    qsizetype markBytes = 0;
    TextFileFormat format = guessFormat(piece, markBytes);
    DecodedTextFile result;
    for (;;) {
        PieceDecoder decoder(format.encoding, source.expectedSize() - markBytes, result.text);
        bool valid = decoder.add(piece.sliced(markBytes));
        while (valid) {
            if (!source.next(piece))
                return false;
            if (piece.isEmpty())
                break;
            valid = decoder.add(piece);
        }
        if (valid && decoder.finish(result)) {
            result.format.encoding = format.encoding;
            result.format.byteOrderMark = format.byteOrderMark;
            decoded = std::move(result);
            return true;
        }
        format = TextFileFormat {TextEncoding::Windows1252, false};
        markBytes = 0;
        if (!source.rewind() || !source.next(piece))
            return false;
    }
}

} // namespace

bool isLineEndCharacter(QChar c)
{
    return isLineEndCandidate(c.unicode());
}

QStringView lineEndText(LineEnd lineEnd)
{
    static const char16_t texts[lineEndKinds][3] = {u"\r\n", u"\n", u"\r", u"\u2029", u"\uFDD0", u"\uFDD1"};
    const auto *text = texts[int(lineEnd)];
    return QStringView(text, lineEnd == LineEnd::CrLf ? 2 : 1);
}

LineEnd platformLineEnd()
{
#ifdef Q_OS_WIN
    return LineEnd::CrLf;
#else
    return LineEnd::Lf;
#endif
}

DecodedTextFile decodeTextFile(QByteArrayView bytes)
{
    DecodedTextFile decoded;
    ByteViewSource source(bytes);
    decodeFrom(source, decoded);
    return decoded;
}

FileError readTextFile(const QString &path, DecodedTextFile &decoded)
{
    using Kind = FileError::Kind;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        const bool folderExists = !path.isEmpty() && info.dir().exists();
        return FileError::make(folderExists ? Kind::NoFile : Kind::NoFolder, path);
    }
    if (!info.isFile())
        return FileError::make(Kind::NotAFile, path);

    QFile file(path);
    // Read straight into the piece, without Qt's buffer between.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return FileError::make(info.isReadable() ? Kind::CannotOpen : Kind::NotReadable, path, file.errorString());
    try {
        FileSource source(file);
        if (!decodeFrom(source, decoded))
            return FileError::make(Kind::ReadFailed, path, file.errorString());
    } catch (const std::bad_alloc &) {
        return FileError::make(Kind::OutOfMemory, path);
    }
    return FileError::none();
}

bool canEncode(QStringView text, TextEncoding encoding)
{
    if (encoding != TextEncoding::Windows1252)
        return true;
    return std::all_of(text.begin(), text.end(), [](QChar c) { return windows1252Byte(c.unicode()) >= 0; });
}

namespace {

constexpr qsizetype chunkBytes = 4 << 20;

// The most bytes one character of UTF-16 can take in an encoding.
qsizetype bytesPerCharacter(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8: return 3;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: return 2;
    case TextEncoding::Windows1252: return 1;
    }
    return 3;
}

} // namespace

EncodedTextWriter::EncodedTextWriter(SafeFileWriter &file, TextEncoding encoding)
    : EncodedTextWriter(std::vector<SafeFileWriter *> {&file}, encoding)
{
}

EncodedTextWriter::EncodedTextWriter(std::vector<SafeFileWriter *> files, TextEncoding encoding)
    : EncodedTextWriter(encoding)
{
    m_files = std::move(files);
}

EncodedTextWriter::EncodedTextWriter(TextEncoding encoding)
    : m_encoding(encoding)
    , m_utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless)
{
    m_buffer.resize(chunkBytes);
    for (int kind = 0; kind < lineEndKinds; ++kind) {
        const QStringView text = lineEndText(LineEnd(kind));
        QByteArray &bytes = m_lineEnds[size_t(kind)];
        bytes.resize(text.size() * bytesPerCharacter(encoding));
        bytes.truncate(encode(text, bytes.data()) - bytes.constData());
    }
}

void EncodedTextWriter::writeByteOrderMark()
{
    QByteArrayView mark;
    switch (m_encoding) {
    case TextEncoding::Utf8: mark = "\xEF\xBB\xBF"; break;
    case TextEncoding::Utf16LE: mark = "\xFF\xFE"; break;
    case TextEncoding::Utf16BE: mark = "\xFE\xFF"; break;
    case TextEncoding::Windows1252: return;
    }
    std::copy(mark.begin(), mark.end(), room(mark.size()));
    m_used += mark.size();
}

void EncodedTextWriter::write(QStringView text)
{
    if (text.isEmpty())
        return;
    if (m_heldSurrogate) {
        const char16_t pair[2] = {m_heldSurrogate, text.front().unicode()};
        m_heldSurrogate = 0;
        const bool paired = QChar::isLowSurrogate(pair[1]);
        encodeInChunks(QStringView(pair, paired ? 2 : 1));
        if (paired)
            text = text.sliced(1);
    }
    // UTF-8 encodes a pair as one character; half of one alone would become
    // a replacement character.
    if (!text.isEmpty() && text.back().isHighSurrogate()) {
        m_heldSurrogate = text.back().unicode();
        text.chop(1);
    }
    encodeInChunks(text);
}

void EncodedTextWriter::encodeInChunks(QStringView text)
{
    const qsizetype perCharacter = bytesPerCharacter(m_encoding);
    while (!text.isEmpty()) {
        // A long line goes in pieces that fit the buffer, never cutting a
        // surrogate pair in two.
        qsizetype length = qMin(text.size(), chunkBytes / perCharacter);
        if (length < text.size() && text.at(length - 1).isHighSurrogate())
            --length;
        char *end = encode(text.first(length), room(length * perCharacter));
        m_used = end - m_buffer.constData();
        text = text.sliced(length);
    }
}

void EncodedTextWriter::writeHeldSurrogate()
{
    if (!m_heldSurrogate)
        return;
    const char16_t alone = m_heldSurrogate;
    m_heldSurrogate = 0;
    encodeInChunks(QStringView(&alone, 1));
}

char *EncodedTextWriter::encode(QStringView text, char *out)
{
    switch (m_encoding) {
    case TextEncoding::Utf8:
        return m_utf8.appendToBuffer(out, text);
    case TextEncoding::Utf16LE:
        qToLittleEndian<char16_t>(text.utf16(), text.size(), out);
        return out + 2 * text.size();
    case TextEncoding::Utf16BE:
        qToBigEndian<char16_t>(text.utf16(), text.size(), out);
        return out + 2 * text.size();
    case TextEncoding::Windows1252:
        for (const QChar c : text) {
            const int byte = windows1252Byte(c.unicode());
            *out++ = char(byte < 0 ? '?' : byte);
        }
        return out;
    }
    return out;
}

void EncodedTextWriter::writeLineEnd(LineEnd lineEnd)
{
    writeHeldSurrogate();
    const QByteArray &bytes = m_lineEnds[size_t(lineEnd)];
    std::copy(bytes.begin(), bytes.end(), room(bytes.size()));
    m_used += bytes.size();
}

void EncodedTextWriter::flush()
{
    writeHeldSurrogate();
    writeBuffer();
}

void EncodedTextWriter::writeBuffer()
{
    for (SafeFileWriter *file : m_files)
        file->write(QByteArrayView(m_buffer.constData(), m_used));
    m_flushed += m_used;
    m_used = 0;
}

char *EncodedTextWriter::room(qsizetype bytes)
{
    if (m_used + bytes > m_buffer.size())
        writeBuffer();
    return m_buffer.data() + m_used;
}
