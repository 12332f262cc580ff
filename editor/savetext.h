#pragma once

#include "editor/fileerror.h"
#include "editor/textstore.h"

#include <QStringList>

#include <vector>

// Writes the store's whole text in format to each of paths and gives each
// path's outcome. The first file is written from the text, once (a file
// that must be written in place has it encoded once more first, to count
// it); the others are copies of the first, made by the file system where it
// can, taking its permissions. Where the first could not be written, the
// others are written from the text. The files are completed in their order;
// with stopAtFailure those after the first that fails are left as they were.
//
// Of a text kept in its file, what stands as it was in the file is written
// as the file's own bytes where the encoding is the file's, and a save over
// that file makes the store read the new one. A text whose file no longer
// holds what was read from it (another program wrote over it) is not
// written at all: every outcome is FileError::Kind::ChangedOutside.
std::vector<FileError> saveText(TextStore &store, const QStringList &paths, const TextFileFormat &format,
                                bool stopAtFailure, qsizetype blockBytes);

