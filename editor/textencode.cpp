#include "editor/textencode.h"

#include "editor/safefile.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr qsizetype chunkBytes = 4 << 20;

// The most bytes one character of UTF-16 can take in an encoding.
qsizetype bytesPerCharacter(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8: return 3;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: return 2;
    case TextEncoding::Utf32LE:
    case TextEncoding::Utf32BE: return 4;
    case TextEncoding::Windows1252: return 1;
    // Room for a shift into another set before each character.
    case TextEncoding::Legacy: return 8;
    }
    return 3;
}

} // namespace

EncodedTextWriter::EncodedTextWriter(SafeFileWriter &file, const TextFileFormat &format)
    : EncodedTextWriter(std::vector<SafeFileWriter *> {&file}, format)
{
}

EncodedTextWriter::EncodedTextWriter(std::vector<SafeFileWriter *> files, const TextFileFormat &format)
    : EncodedTextWriter(format)
{
    m_files = std::move(files);
}

EncodedTextWriter::EncodedTextWriter(std::function<void(QByteArrayView)> sink, const TextFileFormat &format)
    : EncodedTextWriter(format)
{
    m_sink = std::move(sink);
}

EncodedTextWriter::EncodedTextWriter(const TextFileFormat &format)
    : m_encoding(format.encoding)
    , m_utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless)
{
    if (m_encoding == TextEncoding::Legacy) {
        m_charset = LegacyCharset::named(format.legacyName);
        if (m_charset && !m_charset->singleByte)
            m_legacy = QStringEncoder(format.legacyName.constData());
    }
    m_buffer.resize(chunkBytes);
    // A set that shifts between states writes line ends in its state.
    if (m_legacy.isValid())
        return;
    for (int kind = 0; kind < lineEndKinds; ++kind) {
        const QStringView text = lineEndText(LineEnd(kind));
        QByteArray &bytes = m_lineEnds[size_t(kind)];
        bytes.resize(text.size() * bytesPerCharacter(m_encoding));
        bytes.truncate(encode(text, bytes.data()) - bytes.constData());
    }
}

EncodedTextWriter::~EncodedTextWriter() = default;

void EncodedTextWriter::writeByteOrderMark()
{
    QByteArrayView mark;
    switch (m_encoding) {
    case TextEncoding::Utf8: mark = "\xEF\xBB\xBF"; break;
    case TextEncoding::Utf16LE: mark = "\xFF\xFE"; break;
    case TextEncoding::Utf16BE: mark = "\xFE\xFF"; break;
    case TextEncoding::Utf32LE: mark = QByteArrayView("\xFF\xFE\0\0", 4); break;
    case TextEncoding::Utf32BE: mark = QByteArrayView("\0\0\xFE\xFF", 4); break;
    case TextEncoding::Windows1252:
    case TextEncoding::Legacy: return;
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

void EncodedTextWriter::writeBytes(QByteArrayView bytes)
{
    writeHeldSurrogate();
    writeBuffer();
    for (SafeFileWriter *file : m_files)
        file->write(bytes);
    if (m_sink)
        m_sink(bytes);
    m_flushed += bytes.size();
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
    case TextEncoding::Utf32LE:
    case TextEncoding::Utf32BE:
        for (qsizetype i = 0; i < text.size(); ++i) {
            char32_t c = text[i].unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
            if (m_encoding == TextEncoding::Utf32LE)
                qToLittleEndian<quint32>(c, out);
            else
                qToBigEndian<quint32>(c, out);
            out += 4;
        }
        return out;
    case TextEncoding::Windows1252:
        for (const QChar c : text) {
            const int byte = windows1252Byte(c.unicode());
            *out++ = char(byte < 0 ? '?' : byte);
        }
        return out;
    case TextEncoding::Legacy:
        if (m_legacy.isValid())
            return m_legacy.appendToBuffer(out, text);
        for (const QChar c : text) {
            const int byte = m_charset ? m_charset->fromUnicode[c.unicode()] : -1;
            *out++ = char(byte < 0 ? '?' : byte);
        }
        return out;
    }
    return out;
}

void EncodedTextWriter::writeLineEnd(LineEnd lineEnd)
{
    writeHeldSurrogate();
    if (m_legacy.isValid()) {
        encodeInChunks(lineEndText(lineEnd));
        return;
    }
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
    if (m_sink)
        m_sink(QByteArrayView(m_buffer.constData(), m_used));
    m_flushed += m_used;
    m_used = 0;
}

char *EncodedTextWriter::room(qsizetype bytes)
{
    if (m_used + bytes > m_buffer.size())
        writeBuffer();
    return m_buffer.data() + m_used;
}
