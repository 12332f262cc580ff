#include "files/menufile.h"

#include "document/draft.h"
#include "document/frmnotepad.h"
#include "document/watchedfile.h"
#include "files/frmopendlg.h"
#include "files/frmsavedlg.h"
#include "files/registry.h"
#include "platform/dirlistbox.h"
#include "platform/drivelistbox.h"
#include "platform/error.h"
#include "platform/modal.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "platform/statusbar.h"
#include "shell/actionarray.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace MenuFile {

QString SelectedFile;
QString SelectedEncoding;

namespace {

frmNotePad &documentWindow(int slot)
{
    if (!Quillo::Documents[slot])
        Quillo::Documents[slot] = new frmNotePad(*Quillo::MainForm);
    return *Quillo::Documents[slot];
}

void setModified(const frmNotePad &window, bool modified)
{
    const int slot = window.Tag().toInt();
    if (slot > 0 && slot < Quillo::DocState.size())
        Quillo::DocState[slot].Modified = modified;
}

// A big file's text comes in as its index goes on: the status bar says how
// far it has come, painted at once, as the program may be waiting for it.
void showIndexing(RichTextBox &text, StatusBar &status)
{
    const QString ready = status.panel(1)->text();
    const auto show = [&status, ready](int percent) {
        status.panel(1)->setText(percent < 100 ? QStringLiteral("Indexing %1 %").arg(percent) : ready);
        status.panel(1)->repaint();
    };
    QObject::connect(&text, &RichTextBox::indexing, &status, show);
    QObject::connect(&text, &QObject::destroyed, &status, [show] { show(100); });
}

} // namespace

bool IsUntitled(const QString &caption)
{
    return caption.startsWith(QLatin1String("Untitled"));
}

QStringList SplitPathList(const QString &list)
{
    const qsizetype i1 = list.indexOf(u';');
    if (i1 < 0)
        return {list};
    // The character after each ";" is the blank the program writes there.
    const qsizetype i2 = list.indexOf(u';', i1 + 2);
    if (i2 < 0)
        return {list.left(i1), list.mid(i1 + 2)};
    return {list.left(i1), list.mid(i1 + 2, i2 - i1 - 2), list.mid(i2 + 2)};
}

void FileNew()
{
    const int slot = Quillo::NewDocumentSlot();
    frmNotePad &document = documentWindow(slot);
    document.setTag(QString::number(slot));
    document.setCaption(QStringLiteral("Untitled") + QString::number(slot));
    Quillo::DocState[slot].Modified = false;
    Quillo::DocState[slot].WordWrap = false;
    document.Show();
}

void FileOpen()
{
    frmOpenDlg dialog(Quillo::MainForm);
    dialog.Filetype->addItem(QStringLiteral("All Files (*.*)"));
    dialog.Filetype->addItem(QStringLiteral("Text Documents (*.txt)"));
    dialog.Filetype->setCurrentIndex(1);
    const ActionArray &items = Quillo::MainForm->mnuFile1;
    for (int i = 1; i <= 5; ++i) {
        const QString caption = Caption(items[10 + i]);
        if (caption != QStringLiteral("RecentFile") + QString::number(i)) {
            dialog.List1->addItem(caption.mid(5));
            dialog.List1->item(dialog.List1->count() - 1)->setData(Qt::UserRole, Registry::RecentEncoding(i));
        }
    }
    dialog.showFirstTab();
    ShowModal(dialog);
    if (!SelectedFile.isEmpty()) {
        OpenFile(SelectedFile, SelectedEncoding);
        Registry::AddRecentFile(SelectedFile, SelectedEncoding);
    }
    SelectedFile.clear();
    SelectedEncoding.clear();
}

void OpenFile(const QString &path, const QString &encoding)
{
    ErrorTrap trap;
    Screen::setMousePointer(MousePointer::Hourglass);
    int slot = 0;
    frmNotePad *document = nullptr;
    trap.run([&] {
        slot = Quillo::NewDocumentSlot();
        document = &documentWindow(slot);
    });
    trap.run([&] {
        document->setTag(QString::number(slot));
        document->setCaption(path);
    });
    if (document && Quillo::MainForm)
        showIndexing(*document->Text1, *Quillo::MainForm->sbStatusBar);
    trap.run([&] { return document->Text1->LoadFile(path, RichTextFileType::Text, encoding); });
    if (trap.failed()) {
        MsgBox(QStringLiteral("Error. Can't open file: ") + path, MsgBoxStyle::Exclamation, QStringLiteral("Open"));
        if (document) {
            Quillo::DocState[slot].Modified = false;
            document->Unload();
        }
        Screen::setMousePointer(MousePointer::Default);
        return;
    }
    // The caption alone cannot tell a path holding "; " from a list of
    // copies; the window keeps the path it came from.
    document->setFilePaths({path});
    Quillo::DocState[slot].Modified = false;
    Quillo::DocState[slot].WordWrap = false;
    document->Show();
    Screen::setMousePointer(MousePointer::Default);
}

void OpenFiles(const QStringList &paths)
{
    for (const QString &path : paths) {
        OpenFile(path);
        Registry::AddRecentFile(path, QString());
    }
}

void FileSave(const QString &caption)
{
    frmNotePad *active = Quillo::MainForm ? Quillo::MainForm->activeDocument() : nullptr;
    if (!active)
        return;
    if (IsUntitled(caption)) {
        frmSaveDlg dialog(*active, Quillo::MainForm);
        dialog.Filename->setText(caption);
        ShowModal(dialog);
        SelectedFile.clear();
    } else if (!caption.isEmpty()) {
        SaveDocument(*active, caption);
    }
}

void FileSaveAs(const QString &caption)
{
    frmNotePad *active = Quillo::MainForm ? Quillo::MainForm->activeDocument() : nullptr;
    if (!active)
        return;
    frmSaveDlg dialog(*active, Quillo::MainForm);
    const QStringList paths = active->pathsOf(caption);
    const QString main = paths.isEmpty() ? caption : paths.first();
    if (IsUntitled(caption)) {
        dialog.Filename->setText(caption);
    } else {
        const QString native = QDir::toNativeSeparators(main);
        const qsizetype L = native.lastIndexOf(QDir::separator()) + 1;
        QString folder = native.left(L - 1);
        // A file in a root folder: the folder is the root itself.
        if (folder.isEmpty() || folder.endsWith(u':'))
            folder += QDir::separator();
        // A folder that has gone leaves the lists where they start.
        (void)dialog.drvList->setDrive(native);
        (void)dialog.dirList->setPath(folder);
        dialog.Filename->setText(native.mid(L));
    }
    ShowModal(dialog);
    SelectedFile.clear();
}

void SaveDocument(frmNotePad &window, const QString &list)
{
    const QStringList pieces = window.pathsOf(list);
    if (!window.watchedFile().mayOverwrite(pieces.first()))
        return;
    SaveEncoding encoding = SaveEncoding::Own;
    if (!ChooseSaveEncoding(*window.Text1, pieces.first(), encoding))
        return;
    ErrorTrap trap;
    Screen::setMousePointer(MousePointer::Hourglass);
    // Every copy is written from one reading of the text; a failed one does
    // not stop the others.
    trap.run([&] {
        const QList<Error> results = window.Text1->SaveFiles(pieces, RichTextFileType::Text, false, encoding);
        for (const Error &error : results)
            trap.record(error);
        // The main file is the document's own now, whatever became of the copies.
        if (results.first().ok())
            window.watchedFile().setPath(pieces.first());
    });
    if (trap.failed()) {
        Screen::setMousePointer(MousePointer::Default);
        MsgBox(SaveFailed(*window.Text1, list), MsgBoxStyle::Exclamation, QStringLiteral("Save"));
        return;
    }
    window.setCaption(list);
    window.setFilePaths(pieces);
    setModified(window, false);
    window.draft().discard();
    Registry::AddRecentFile(pieces.first());
    Screen::setMousePointer(MousePointer::Default);
}

QString SaveFailed(const RichTextBox &text, const QString &list)
{
    const FileText *source = text.store().file();
    if (source && source->changed())
        return QStringLiteral("Error. ") + QDir::toNativeSeparators(source->path())
               + QStringLiteral(" was changed by another program while it was open: the parts of the text read from it are gone.");
    return QStringLiteral("Error. Unable to Save ") + list;
}

bool ChooseSaveEncoding(const RichTextBox &text, const QString &path, SaveEncoding &encoding)
{
    encoding = SaveEncoding::Own;
    if (text.fitsFileEncoding())
        return true;
    const QString question = QStringLiteral("Error. Some characters of the text have no place in the character set of ")
                             + path + QStringLiteral(". Do you want to save the file as UTF-8?");
    if (MsgBox(question, MsgBoxStyle::YesNo | MsgBoxStyle::Question, QStringLiteral("Save")) != MsgBoxAnswer::Yes)
        return false;
    encoding = SaveEncoding::Utf8;
    return true;
}

void resetState()
{
    SelectedFile.clear();
    SelectedEncoding.clear();
}

} // namespace MenuFile
