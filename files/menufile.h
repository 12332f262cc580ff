#pragma once

#include <QString>

// The file commands.
namespace MenuFile {

// The path the Open dialog chose, or the main path the Save dialog wrote;
// empty when nothing was chosen.
extern QString SelectedFile;

void FileNew();

void resetState();

} // namespace MenuFile
