#pragma once

#include "editor/fileerror.h"

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <array>
#include <vector>

class SafeFileWriter;

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Windows1252 };

// The ways a line can end in a file: every character at which the text
// store starts a new line.
enum class LineEnd : int { CrLf, Lf, Cr, ParagraphSeparator, Fdd0, Fdd1 };
constexpr int lineEndKinds = 6;

QStringView lineEndText(LineEnd lineEnd);
LineEnd platformLineEnd();
// Whether c is one of the characters line ends are made of.
bool isLineEndCharacter(QChar c);

// How a text file was written, so that it can be written back the same way.
struct TextFileFormat
{
    TextEncoding encoding = TextEncoding::Utf8;
    bool byteOrderMark = false;
    // The file's most common line end; new lines take it.
    LineEnd lineEnd = platformLineEnd();
};

struct DecodedTextFile
{
    QString text;
    TextFileFormat format;
    // The lines, numbered from 0, that do not end with the format's line end.
    std::vector<std::pair<qsizetype, LineEnd>> otherLineEnds;
};

// Finds the encoding (UTF-8 with or without BOM, UTF-16 with BOM, otherwise
// Windows-1252 with its five unassigned bytes kept as C1 controls, which maps
// every byte) and the line ends of a file's bytes, and decodes them. Encoding
// the result again gives back the same bytes.
DecodedTextFile decodeTextFile(QByteArrayView bytes);

// Reads and decodes a whole text file, as decodeTextFile does its bytes, a
// piece at a time, so that the file's bytes and its whole text are never in
// memory together. Only a regular file is read: a folder, a device or a pipe
// is refused rather than waited on.
FileError readTextFile(const QString &path, DecodedTextFile &decoded);

// Whether every character of text has a code in the encoding.
bool canEncode(QStringView text, TextEncoding encoding);

// Writes text to a file in the file's encoding, a few megabytes at a time,
// so that saving never holds a second copy of the whole text. A surrogate
// pair is written whole even when it comes in two pieces of text.
class EncodedTextWriter
{
public:
    EncodedTextWriter(SafeFileWriter &file, TextEncoding encoding);
    // Writes the same bytes to every one of files, encoding them once.
    EncodedTextWriter(std::vector<SafeFileWriter *> files, TextEncoding encoding);
    // Writes nothing, only counts the bytes: the size a file written in place
    // needs first.
    explicit EncodedTextWriter(TextEncoding encoding);
    void writeByteOrderMark();
    void write(QStringView text);
    void writeLineEnd(LineEnd lineEnd);
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
    TextEncoding m_encoding;
    QStringEncoder m_utf8;
    QByteArray m_buffer;
    qsizetype m_used = 0;
    qint64 m_flushed = 0;
    // The high surrogate that ended the last piece of text, waiting for the
    // low one that may start the next.
    char16_t m_heldSurrogate = 0;
    std::array<QByteArray, lineEndKinds> m_lineEnds;
};
