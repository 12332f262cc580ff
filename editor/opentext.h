#pragma once

#include "editor/fileerror.h"
#include "editor/textstore.h"

#include <QString>

#include <vector>

// How a file becomes a store's text.
struct TextOpening
{
    // Files of this many bytes or more stay in their file, read a block at a
    // time as they are shown; smaller ones are decoded whole. Decoding costs
    // about 2 ms and 2 bytes of memory for each megabyte: under this line a
    // file still shows within a few tens of milliseconds, and above it no
    // file costs more than a few bytes in a hundred.
    static constexpr qint64 defaultKeptInFileFrom = qint64(16) << 20;
    qint64 keptInFileFrom = defaultKeptInFileFrom;
    qsizetype blockBytes = 1 << 16;
    // What the index goes through before the text shows: the first screen.
    qsizetype firstBytes = 1 << 18;
};

// Reads the file into store, in the chosen format or (chosen null) the one
// its bytes show, kept in its file where it is big enough and its format can
// be read from a block's start, else decoded whole. format becomes what a
// save writes; new lines take the file's most common line end, which for a
// text still growing fileLineEnd() tells later. On failure the store is left
// as it was.
FileError openText(const QString &path, TextStore &store, TextFileFormat &format, const TextFileFormat *chosen,
                   const TextOpening &opening);

// Of a text kept in its file: once the index has gone through the whole file
// intact, its most common line end (the platform's where it has none), true.
// False while the index goes on, or when it met bytes the format cannot read:
// then the file must be opened whole, as openText() opens files below the line.
bool fileLineEnd(const FileText &file, LineEnd &lineEnd);

// Makes the store the source's stretches and the text between them (what
// TextStore::readEdits() gave), to be saved in format. The source must still
// hold the text it held: it is read whole, and fails if it does not.
FileError openEdits(const QString &source, const TextFileFormat &sourceFormat,
                    const std::vector<TextStore::Stretch> &stretches, TextStore &store, qsizetype blockBytes);
