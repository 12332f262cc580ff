#pragma once

#include "editor/lineend.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

// The encodings the engine reads and writes itself, and Legacy: a character
// set of ICU's, named by TextFileFormat::legacyName.
enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Windows1252, Legacy };

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

// Whether the format reads bytes below 0x80 as ASCII and no byte above as a
// line end, so that its text's characters and line breaks can be counted
// from the bytes themselves.
bool countsAsSingleBytes(const TextFileFormat &format);

// Whether every character of text has a code in the format's encoding.
bool canEncode(QStringView text, const TextFileFormat &format);
bool canEncode(QStringView text, TextEncoding encoding);

// The character of every byte in Windows-1252; the five bytes it leaves
// unassigned keep their C1 control codes.
const std::array<char16_t, 256> &windows1252Table();
// The byte of a character in Windows-1252, or -1.
int windows1252Byte(char16_t c);

// A character set of ICU's. One whose every byte is one character of its
// own is decoded and encoded by table, as fast as Windows-1252 and lossless
// by construction; the others go through ICU.
class LegacyCharset
{
public:
    // Null when ICU does not know the name.
    static std::shared_ptr<const LegacyCharset> named(const QByteArray &name);

    QByteArray name;
    bool singleByte = false;
    // Bytes below 0x80 are ASCII.
    bool asciiCompatible = false;
    std::array<char16_t, 256> toUnicode {};
    // The byte of each UTF-16 code unit, or -1.
    std::vector<qint16> fromUnicode;
};
