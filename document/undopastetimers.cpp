// The frame's two timers keep the Undo, Redo and Paste commands in step with
// what the focused control can undo and with the clipboard.

#include "platform/clipboard.h"
#include "platform/messages.h"
#include "platform/screen.h"
#include "shell/frmmainnote.h"

void frmMainNote::tmrUndo_Timer()
{
    if (!activeDocument())
        return;
    if (SendMessageA(Screen::activeControl(), EM_CANUNDO) != 0) {
        Toolbar1->Buttons[12]->setEnabled(true);
        mnuEdit1[0]->setEnabled(true);
        mnuEdit1[1]->setEnabled(false);
        // Until the focus leaves the control or another document comes.
        tmrUndo.stop();
    } else {
        Toolbar1->Buttons[12]->setEnabled(false);
        mnuEdit1[0]->setEnabled(false);
        mnuEdit1[1]->setEnabled(false);
    }
}

void frmMainNote::tmrPaste_Timer()
{
    const bool canPaste = mnuEdit1[3]->isEnabled() && Clipboard::HasText();
    mnuEdit1[5]->setEnabled(canPaste);
    Toolbar1->Buttons[9]->setEnabled(canPaste);
}
