#pragma once

#include "editor/fileerror.h"

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class LegacyCharset;
class SafeFileWriter;

// The encodings the engine reads and writes itself, and Legacy: a character
// set of ICU's, named by TextFileFormat::legacyName.
enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Windows1252, Legacy };

// The ways a line can end in a file: every character at which the text
// store starts a new line.
enum class LineEnd : int { CrLf, Lf, Cr, ParagraphSeparator, Fdd0, Fdd1 };
constexpr int lineEndKinds = 6;

QStringView lineEndText(LineEnd lineEnd);
LineEnd platformLineEnd();
// Whether c is one of the characters line ends are made of.
bool isLineEndCharacter(QChar c);
// The line end that starts at text[at], one of those characters, and how
// many characters it takes.
LineEnd lineEndAt(const char16_t *text, qsizetype at, qsizetype size, qsizetype &taken);
// Makes each line end of the text one u'\n', as the store keeps text,
// telling onBreak its line end and where the u'\n' now stands; gives the
// text's new length.
qsizetype storeLineBreaks(char16_t *text, qsizetype size, const std::function<void(LineEnd, qsizetype)> &onBreak);

// How a text file was written, so that it can be written back the same way.
struct TextFileFormat
{
    TextEncoding encoding = TextEncoding::Utf8;
    bool byteOrderMark = false;
    // The file's most common line end; new lines take it.
    LineEnd lineEnd = platformLineEnd();
    // The character set of a Legacy file, by a name ICU knows ("windows-1251",
    // "Shift_JIS").
    QByteArray legacyName;
};

// The encodings a text can be read in and written in, by their names
// (encodingName), for people to choose from.
QStringList chosenEncodings();
// The format an encoding of chosenEncodings() writes: UTF-16 and UTF-32 with
// a byte-order mark. False for a name it does not know.
bool formatForEncoding(const QString &name, TextFileFormat &format);

// The format of a text in one of the engine's own encodings.
inline TextFileFormat formatOf(TextEncoding encoding)
{
    TextFileFormat format;
    format.encoding = encoding;
    return format;
}

// The encoding's name as people know it: "UTF-8", "UTF-16 LE", "windows-1251".
QString encodingName(const TextFileFormat &format);

struct DecodedTextFile
{
    QString text;
    TextFileFormat format;
    // The lines, numbered from 0, that do not end with the format's line end.
    std::vector<std::pair<qsizetype, LineEnd>> otherLineEnds;
};

// Finds the encoding and the line ends of a file's bytes, and decodes them.
// A byte-order mark decides (UTF-8, UTF-16 and UTF-32, either byte order);
// then text whose every other byte is zero is UTF-16; valid UTF-8 is UTF-8;
// otherwise a charset detector proposes a legacy character set, taken only
// when the text it gives encodes back to exactly the same bytes; otherwise
// Windows-1252, with its five unassigned bytes kept as C1 controls, which
// maps every byte. Encoding the result again always gives back the same
// bytes.
DecodedTextFile decodeTextFile(QByteArrayView bytes);

// Decodes bytes in the chosen encoding, whatever they look like: its
// byte-order mark is taken as one, and bytes that are not in it become
// replacement characters (so that writing the text back may change them).
DecodedTextFile decodeTextFile(QByteArrayView bytes, const TextFileFormat &chosen);

// Reads and decodes a whole text file, as decodeTextFile does its bytes, a
// piece at a time, so that the file's bytes and its whole text are never in
// memory together. Only a regular file is read: a folder, a device or a pipe
// is refused rather than waited on.
FileError readTextFile(const QString &path, DecodedTextFile &decoded);
FileError readTextFile(const QString &path, DecodedTextFile &decoded, const TextFileFormat &chosen);

// Whether a text in the format can be decoded from the start of any block of
// its bytes that splits no character: true for UTF-8, UTF-16 and the
// character sets of one byte a character.
bool decodesInBlocks(const TextFileFormat &format);
// Decodes such a block of bytes from anywhere in a file: no byte-order mark
// is looked for, and line ends stay as they are. False when the bytes are
// not in the encoding (the text then holds replacement characters).
bool decodeBlock(QByteArrayView bytes, const TextFileFormat &format, QString &text);

// Whether the format reads bytes below 0x80 as ASCII and no byte above as a
// line end, so that its text's characters and line breaks can be counted
// from the bytes themselves.
bool countsAsSingleBytes(const TextFileFormat &format);

// Whether every character of text has a code in the format's encoding.
bool canEncode(QStringView text, const TextFileFormat &format);
bool canEncode(QStringView text, TextEncoding encoding);

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
