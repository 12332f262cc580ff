#include "document/menuedit.h"

#include "document/frmfinddlg.h"
#include "document/frmgotodlg.h"
#include "document/frmnotepad.h"
#include "document/frmreplacedlg.h"
#include "platform/clipboard.h"
#include "platform/controltext.h"
#include "platform/dates.h"
#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>

namespace MenuEdit {

bool CutAllowed = false;
bool PasteAllowed = false;
bool CtrlDown = false;
std::array<QString, 5> FindWhat;
unsigned char MatchCase = 0;
unsigned char FindDirection = 0;
unsigned char NewSearch = 0;
qsizetype LastFindPos = 0;
std::array<QString, 5> ReplaceWith;
bool WholeWord = false;
bool RegularExpression = false;

void EditCut()
{
    if (!CutAllowed) {
        CutAllowed = true;
        return;
    }
    ControlText control(Screen::activeControl());
    Clipboard::Clear();
    Clipboard::SetText(control.SelText());
    control.setSelText(QString());
}

void EditCopy()
{
    const ControlText control(Screen::activeControl());
    Clipboard::Clear();
    Clipboard::SetText(control.SelText());
}

void EditPaste()
{
    if (!PasteAllowed) {
        PasteAllowed = true;
        return;
    }
    if (Clipboard::HasText())
        ControlText(Screen::activeControl()).setSelText(Clipboard::GetText());
}

void EditDelete()
{
    ControlText control(Screen::activeControl());
    if (control.SelStart() == control.textLength())
        return;
    if (control.SelLength() == 0) {
        control.setSelLength(1);
        const QString selected = control.SelText();
        if (!selected.isEmpty() && selected.front() == u'\r')
            control.setSelLength(2);
        // Half of a character beyond the basic plane would be left behind
        // as a broken one.
        else if (!selected.isEmpty() && selected.front().isHighSurrogate())
            control.setSelLength(2);
    }
    control.setSelText(QString());
}

void EditUndo()
{
    SendMessageA(Screen::activeControl(), EM_UNDO);
    // Undo and Redo alternate as the control's one level does.
    Quillo::MainForm->showUndoState();
}

void EditSelectAll()
{
    RichTextBox *text = Quillo::ActiveText();
    if (!text)
        return;
    (void)text->setSelStart(0);
    (void)text->setSelLength(text->textLength());
}

void EditInsertDateTime()
{
    if (RichTextBox *text = Quillo::ActiveText())
        text->setSelText(GeneralDate(QDateTime::currentDateTime()));
}

void EditFind()
{
    RichTextBox *text = Quillo::ActiveText();
    frmFindDlg &dialog = frmFindDlg::Get();
    const QString selected = text ? text->SelText() : QString();
    dialog.Combo1->setEditText(selected.isEmpty() ? FindWhat[0] : selected);
    NewSearch = 255;
    if (MatchCase != 0)
        dialog.chkCase->setChecked(true);
    dialog.Show();
}

void EditFindNext()
{
    RichTextBox *C = Quillo::ActiveText();
    if (!C)
        return;
    const qsizetype s = C->SelStart();
    qsizetype offset = s == LastFindPos ? 1 : 0;
    if (NewSearch != 0)
        offset = 0;
    const qsizetype start = s + offset;
    const TextCase textCase = MatchCase != 0 ? TextCase::Exact : TextCase::UpperCase;
    // Down: from the character at start on. Up: a match may begin no later
    // than two characters before start.
    const TextMatch match = FindDirection == 1 ? C->findText(FindWhat[0], start, SearchDirection::Down, textCase)
                                               : C->findText(FindWhat[0], start - 2, SearchDirection::Up, textCase);
    if (match.found()) {
        (void)C->setSelStart(match.start);
        (void)C->setSelLength(match.length);
    } else {
        MsgBox(QStringLiteral("Cannot find \"") + FindWhat[0] + QStringLiteral("\" !"), MsgBoxStyle::Exclamation,
               QStringLiteral("Find"));
    }
    LastFindPos = C->SelStart();
    NewSearch = 0;
}

void EditReplace()
{
    RichTextBox *text = Quillo::ActiveText();
    frmReplaceDlg &dialog = frmReplaceDlg::Get();
    // A selection within a line is what is looked for.
    const QString selected = text ? text->SelText() : QString();
    dialog.cboFind->setEditText(selected.isEmpty() || selected.contains(u'\r') ? FindWhat[0] : selected);
    dialog.Show();
}

void EditGoTo()
{
    RichTextBox *text = Quillo::ActiveText();
    if (!text)
        return;
    frmGoToDlg dialog(*text, Quillo::MainForm);
    ShowModal(dialog);
    text->setFocus(Qt::OtherFocusReason);
}

void resetState()
{
    CutAllowed = false;
    PasteAllowed = false;
    CtrlDown = false;
    FindWhat = {};
    MatchCase = 0;
    FindDirection = 0;
    NewSearch = 0;
    LastFindPos = 0;
    ReplaceWith = {};
    WholeWord = false;
    RegularExpression = false;
}

} // namespace MenuEdit
