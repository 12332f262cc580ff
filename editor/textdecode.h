#pragma once

#include "editor/charsets.h"
#include "editor/fileerror.h"

#include <QByteArrayView>
#include <QString>

#include <utility>
#include <vector>

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
