#include "shell/quillo.h"

#include "document/draft.h"
#include "document/frmnotepad.h"
#include "document/menuedit.h"
#include "files/menufile.h"
#include "files/registry.h"
#include "editor/inplacefile.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "shell/frmmainnote.h"
#include "shell/frmsplash.h"
#include "toolbars/menuformat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <utility>

namespace Quillo {

QList<QPointer<frmNotePad>> Documents;
QList<DocumentState> DocState;
bool NoDocuments = false;
bool CloseCancelled = false;
QPointer<frmMainNote> MainForm;
QStringList StartFiles;

namespace {

// The program's own folder where the user may write there; elsewhere, as on
// Linux, the user's home folder.
QString startupFolder()
{
#ifdef Q_OS_WIN
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo(programFolder).isWritable())
        return programFolder;
#endif
    return QDir::homePath();
}

} // namespace

void Main()
{
    Screen::setMousePointer(MousePointer::Hourglass);
    MenuEdit::CutAllowed = true;
    MenuEdit::PasteAllowed = true;
    auto *splash = new frmSplash;
    splash->Show();
    QDir::setCurrent(GetLongPath(startupFolder()));
    MenuEdit::FindDirection = 1;
}

QString GetLongPath(const QString &path)
{
    const QString native = QDir::fromNativeSeparators(path);
    const QString root = QDir(native).isRelative() ? QString() : native.left(native.indexOf(u'/') + 1);
    if (root.isEmpty())
        return QString();
    // Each name as its directory holds it, one after the other from the
    // root; a name that is not there ends the look-up. Names are compared,
    // not matched: "a[1]" or "*" is a name like any other.
    QString result = root;
    for (const QString &name : native.mid(root.size()).split(u'/', Qt::SkipEmptyParts)) {
        const QDir folder(result);
        if (!QFileInfo::exists(folder.filePath(name)))
            return QString();
        const QStringList held
            = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Unsorted);
        QString heldName = name;
        // Where names differ only in case the file system does not tell
        // apart (Windows), the name as the directory spells it; where it
        // does, or where the directory cannot be listed, the name as given.
        if (!held.contains(name)) {
            const auto same = std::find_if(held.begin(), held.end(), [&](const QString &entry) {
                return entry.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (same != held.end())
                heldName = *same;
        }
        result = folder.filePath(heldName);
    }
    return QDir::toNativeSeparators(result);
}

void OpenStartFiles()
{
    const QStringList files = std::exchange(StartFiles, {});
    if (files.isEmpty() || !MainForm)
        return;
    frmNotePad *first = Documents.value(1);
    for (const QString &path : files) {
        MenuFile::OpenFile(path);
        Registry::AddRecentFile(path);
    }
    // The empty document of the start gives way to the files asked for,
    // unless none of them could be opened.
    const bool untouched = first && first->isLoaded() && first->Caption() == QLatin1String("Untitled1")
                           && !DocState[1].Modified && first->Text1->textLength() == 0;
    if (untouched && MainForm->activeDocument() != first)
        first->Unload();
}

void RestoreDrafts()
{
    QStringList unreadable;
    QList<LeftDraft> drafts = Drafts::leftDrafts(unreadable);
    if (!unreadable.isEmpty()) {
        MsgBox(QStringLiteral("Error. Unable to read the unsaved text kept in ") + unreadable.join(QStringLiteral(";\r\n"))
                   + QStringLiteral(". It is left where it is."),
               MsgBoxStyle::Exclamation, QStringLiteral("Restore"));
    }
    if (drafts.isEmpty() || !MainForm)
        return;
    const QString question
        = drafts.size() == 1
              ? QStringLiteral("1 document had unsaved changes when the program last ended. Do you want to restore it?")
              : QStringLiteral("%1 documents had unsaved changes when the program last ended. Do you want to restore them?")
                    .arg(drafts.size());
    if (MsgBox(question, MsgBoxStyle::YesNo | MsgBoxStyle::Question, QStringLiteral("Restore")) != MsgBoxAnswer::Yes) {
        Drafts::remove(drafts);
        return;
    }
    Screen::setMousePointer(MousePointer::Hourglass);
    // The empty document of the start gives way to the restored ones.
    frmNotePad *first = Documents.value(1);
    if (first && first->isLoaded() && first->Caption() == QLatin1String("Untitled1") && !DocState[1].Modified
        && first->Text1->textLength() == 0)
        first->Unload();
    for (LeftDraft &draft : drafts) {
        const bool untitled = MenuFile::IsUntitled(draft.record.caption);
        int slot = untitled ? TakeNamedSlot(draft.record.caption) : 0;
        if (slot == 0)
            slot = NewDocumentSlot();
        if (!Documents[slot])
            Documents[slot] = new frmNotePad(*MainForm);
        frmNotePad &document = *Documents[slot];
        document.setTag(QString::number(slot));
        // A document never saved takes the name of its place.
        document.setCaption(untitled ? QStringLiteral("Untitled") + QString::number(slot) : draft.record.caption);
        document.setFilePaths(draft.record.paths);
        if (draft.source.isEmpty()) {
            document.Text1->loadText(std::move(draft.text), draft.record.format);
        } else if (document.Text1->loadEdits(draft.source, draft.sourceFormat, draft.stretches, draft.record.format)
                       .failed()) {
            // Its file went away since the draft was read.
            MsgBox(QStringLiteral("Error. Unable to read the unsaved text kept in ") + draft.file
                       + QStringLiteral(". It is left where it is."),
                   MsgBoxStyle::Exclamation, QStringLiteral("Restore"));
            document.Unload();
            continue;
        }
        DocState[slot].Modified = true;
        DocState[slot].WordWrap = false;
        // Kept on disk all along: the draft becomes the new document's.
        (void)Drafts::adopt(draft, document.draft().file());
        document.Show();
    }
    Screen::setMousePointer(MousePointer::Default);
}

void ReportInterruptedSaves()
{
    const QStringList copies = leftRecoveryCopies();
    if (copies.isEmpty())
        return;
    MsgBox(QStringLiteral("Error. A save was cut short: ") + copies.join(QStringLiteral(";\r\n")) + u'.',
           MsgBoxStyle::Exclamation, QStringLiteral("Save"));
}

int NewDocumentSlot()
{
    for (int i = 1; i < DocState.size(); ++i) {
        if (DocState[i].Free) {
            DocState[i].Free = false;
            return i;
        }
    }
    Documents.append(nullptr);
    DocState.append(DocumentState());
    return int(DocState.size()) - 1;
}

int TakeNamedSlot(const QString &caption)
{
    const QString number = caption.mid(8);
    bool isNumber = false;
    const int slot = number.toInt(&isNumber);
    // Only the name the program gives, "Untitled" and the slot's number as
    // it writes it; and the tables do not grow without end for it.
    if (!isNumber || slot < 1 || slot > 9999 || QString::number(slot) != number)
        return 0;
    if (slot < DocState.size() && !DocState[slot].Free)
        return 0;
    for (int i = 1; i < Documents.size(); ++i) {
        if (Documents[i] && Documents[i]->isLoaded() && !DocState[i].Free && Documents[i]->Caption() == caption)
            return 0;
    }
    while (DocState.size() <= slot) {
        Documents.append(nullptr);
        DocumentState unused;
        unused.Free = true;
        DocState.append(unused);
    }
    DocState[slot].Free = false;
    return slot;
}

bool AnyDocumentOpen()
{
    for (int i = 1; i < DocState.size(); ++i) {
        if (!DocState[i].Free)
            return true;
    }
    return false;
}

RichTextBox *ActiveText()
{
    frmNotePad *document = MainForm ? MainForm->activeDocument() : nullptr;
    return document ? document->Text1 : nullptr;
}

void EnableDocumentCommands()
{
    if (MainForm)
        MainForm->setDocumentCommandsEnabled(true);
}

void DisableDocumentCommands()
{
    if (MainForm)
        MainForm->setDocumentCommandsEnabled(false);
}

void resetState()
{
    Documents.clear();
    DocState.clear();
    NoDocuments = false;
    CloseCancelled = false;
    StartFiles.clear();
}

void resetModules()
{
    resetState();
    MenuEdit::resetState();
    MenuFile::resetState();
    MenuFormat::resetState();
    Drafts::resetState();
}

} // namespace Quillo
