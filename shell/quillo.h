#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

class RichTextBox;
class frmMainNote;
class frmNotePad;

// The start-up module: the start procedure, the document tables and the
// flags the shell shares with the document windows.
namespace Quillo {

struct DocumentState
{
    bool Free = false;
    bool Modified = false;
    bool WordWrap = false;
};

// Slots are numbered from 1; slot 0 exists and is never used. A slot keeps
// its window object after the window has been unloaded, for reuse.
extern QList<QPointer<frmNotePad>> Documents;
extern QList<DocumentState> DocState;
// No document window is open: the frame is in its empty mode.
extern bool NoDocuments;
// The last close prompt was cancelled.
extern bool CloseCancelled;
// The frame, while it exists.
extern QPointer<frmMainNote> MainForm;
// Files named on the command line, opened once the frame is up.
extern QStringList StartFiles;

void Main();
QString GetLongPath(const QString &path);
// Opens the files named on the command line, each in its own window.
void OpenStartFiles();
// Tells where the old text of files is kept whose save was cut short.
void ReportInterruptedSaves();
// Offers back the unsaved text of documents that a run of the program left
// when it ended without closing them.
void RestoreDrafts();
int NewDocumentSlot();
// Takes the slot that a never-saved document's caption names ("Untitled10":
// slot 10), the tables growing with free slots up to it; 0 when that slot or
// caption is taken.
int TakeNamedSlot(const QString &caption);
bool AnyDocumentOpen();
// The edit control of the frame's active document, or null.
RichTextBox *ActiveText();
// Switch the commands that need a document (run by the frame).
void EnableDocumentCommands();
void DisableDocumentCommands();

// The module's variables as at start-up.
void resetState();
// Every module's variables as at start-up.
void resetModules();

} // namespace Quillo
