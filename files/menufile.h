#pragma once

#include <QString>
#include <QStringList>

class RichTextBox;
class frmNotePad;
enum class SaveEncoding;

// The file commands.
namespace MenuFile {

// The path the Open dialog chose, or the main path the Save dialog wrote;
// empty when nothing was chosen.
extern QString SelectedFile;
// The encoding the Open dialog chose to read SelectedFile in; empty to find
// it from the file's bytes.
extern QString SelectedEncoding;

void FileNew();
void FileOpen();
// An empty encoding is found from the file's bytes.
void OpenFile(const QString &path, const QString &encoding = QString());
// Opens each file in a window of its own and makes it the most recent
// file, as File > Open does a file chosen with its encoding found from its
// bytes.
void OpenFiles(const QStringList &paths);
void FileSave(const QString &caption);
void FileSaveAs(const QString &caption);
void SaveDocument(frmNotePad &window, const QString &list);
// Whether the text is to be written to path. When its file's character set
// cannot hold every character, asks first; Yes sets encoding to UTF-8, No
// gives false and nothing is to be written.
// What a failed save of the text to list says.
QString SaveFailed(const RichTextBox &text, const QString &list);
bool ChooseSaveEncoding(const RichTextBox &text, const QString &path, SaveEncoding &encoding);

// Whether a caption names a document that was never saved.
bool IsUntitled(const QString &caption);
// The pieces of a caption's path list: the main path, then up to two
// backup paths.
QStringList SplitPathList(const QString &list);

void resetState();

} // namespace MenuFile
