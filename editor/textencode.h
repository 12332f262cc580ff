#pragma once

#include "editor/charsets.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringEncoder>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class SafeFileWriter;

// Writes text to a file in the file's encoding, a few megabytes at a time,
// so that saving never holds a second copy of the whole text. A surrogate
// pair is written whole even when it comes in two pieces of text.
class EncodedTextWriter
{
public:
    EncodedTextWriter(SafeFileWriter &file, const TextFileFormat &format);
    // Writes the same bytes to every one of files, encoding them once.
    EncodedTextWriter(std::vector<SafeFileWriter *> files, const TextFileFormat &format);
    // Gives the bytes to sink instead, a buffer at a time.
    EncodedTextWriter(std::function<void(QByteArrayView)> sink, const TextFileFormat &format);
    // Writes nothing, only counts the bytes: the size a file written in place
    // needs first.
    explicit EncodedTextWriter(const TextFileFormat &format);
    EncodedTextWriter(SafeFileWriter &file, TextEncoding encoding) : EncodedTextWriter(file, formatOf(encoding)) {}
    explicit EncodedTextWriter(TextEncoding encoding) : EncodedTextWriter(formatOf(encoding)) {}
    ~EncodedTextWriter();
    void writeByteOrderMark();
    void write(QStringView text);
    void writeLineEnd(LineEnd lineEnd);
    // Writes bytes already in the writer's encoding as they are.
    void writeBytes(QByteArrayView bytes);
    // Writes what is still in the buffer.
    void flush();
    // The bytes written (or counted) so far, up to the last flush.
    qint64 size() const { return m_flushed; }

private:
    // Room for bytes at the end of the buffer, written out first when full.
    char *room(qsizetype bytes);
    char *encode(QStringView text, char *out);
    void encodeInChunks(QStringView text);
    void writeHeldSurrogate();
    void writeBuffer();

    std::vector<SafeFileWriter *> m_files;
    std::function<void(QByteArrayView)> m_sink;
    TextEncoding m_encoding;
    QStringEncoder m_utf8;
    // A legacy character set, and for one of many bytes a character (or of
    // shifting states) its encoder, which keeps its state across pieces.
    std::shared_ptr<const LegacyCharset> m_charset;
    QStringEncoder m_legacy;
    QByteArray m_buffer;
    qsizetype m_used = 0;
    qint64 m_flushed = 0;
    // The high surrogate that ended the last piece of text, waiting for the
    // low one that may start the next.
    char16_t m_heldSurrogate = 0;
    std::array<QByteArray, lineEndKinds> m_lineEnds;
};
