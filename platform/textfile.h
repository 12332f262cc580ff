#pragma once

#include "platform/error.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringEncoder>

#include <array>
#include <memory>
#include <vector>

class QFile;
class InPlaceFile;

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Windows1252 };

// The ways a line can end in a file: every character at which the edit
// control starts a new line.
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
Error readTextFile(const QString &path, DecodedTextFile &decoded);

// Whether every character of text has a code in the encoding.
bool canEncode(QStringView text, TextEncoding encoding);

// Writes a file so that a failed write leaves the file that was there
// before untouched: the bytes go to a temporary file that replaces it only
// once everything is written. The file keeps its permissions, and its owner
// and group where the user may give them (root always may). A character
// device (such as /dev/null) is written in place; other special files are
// refused.
//
// A file whose folder takes no new file (but the file itself may be written)
// is written in place, keeping a copy of its old text until the new one is on
// the disk (see InPlaceFile). Then the size of the whole new text must be
// given to reserve() before the first write, so that a text that cannot fit
// fails before the file changes.
//
// A write beyond the user's file size limit fails rather than ending the
// program.
class SafeFileWriter
{
public:
    SafeFileWriter();
    ~SafeFileWriter();
    Error open(const QString &path);
    bool writesInPlace() const { return m_inPlace != nullptr; }
    // Keeps the copy of the old text and makes room for size bytes; does
    // nothing unless the file is written in place.
    Error reserve(qint64 size);
    // A failed write is kept for commit to report; later writes do nothing.
    void write(QByteArrayView bytes);
    Error commit();

private:
    Error fileError(const QFileDevice &file) const;

    QString m_path;
    std::unique_ptr<QSaveFile> m_saveFile;
    std::unique_ptr<QFile> m_device;
    std::unique_ptr<InPlaceFile> m_inPlace;
    QFileDevice *m_file = nullptr;
    Error m_writeError;
};

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
