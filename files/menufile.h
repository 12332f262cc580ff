#pragma once

#include <QString>
#include <QStringList>

class frmNotePad;

// The file commands.
namespace MenuFile {

// The path the Open dialog chose, or the main path the Save dialog wrote;
// empty when nothing was chosen.
extern QString SelectedFile;

void FileNew();
void FileOpen();
void OpenFile(const QString &path);
void FileSave(const QString &caption);
void FileSaveAs(const QString &caption);
void SaveDocument(frmNotePad &window, const QString &list);

// Whether a caption names a document that was never saved.
bool IsUntitled(const QString &caption);
// The pieces of a caption's path list: the main path, then up to two
// backup paths.
QStringList SplitPathList(const QString &list);

void resetState();

} // namespace MenuFile
