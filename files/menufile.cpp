#include "files/menufile.h"

#include "document/frmnotepad.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

namespace MenuFile {

QString SelectedFile;

void FileNew()
{
    const int slot = Quillo::NewDocumentSlot();
    if (!Quillo::Documents[slot])
        Quillo::Documents[slot] = new frmNotePad(*Quillo::MainForm);
    frmNotePad &document = *Quillo::Documents[slot];
    document.setTag(QString::number(slot));
    document.setCaption(QStringLiteral("Untitled") + QString::number(slot));
    Quillo::DocState[slot].Modified = false;
    Quillo::DocState[slot].WordWrap = false;
    document.Show();
}

void resetState()
{
    SelectedFile.clear();
}

} // namespace MenuFile
