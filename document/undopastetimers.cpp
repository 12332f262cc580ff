// The frame's two timers keep the Undo, Redo and Paste commands in step with
// what the focused control can undo and with the clipboard.

#include "platform/clipboard.h"
#include "platform/messages.h"
#include "platform/screen.h"
#include "shell/frmmainnote.h"

void frmMainNote::tmrUndo_Timer()
{
    if (activeDocument())
        showUndoState();
}

void frmMainNote::showUndoState()
{
    QWidget *control = Screen::activeControl();
    const bool canUndo = SendMessageA(control, EM_CANUNDO) != 0;
    const bool redoes = canUndo && SendMessageA(control, EM_CANREDO) != 0;
    Toolbar1->Buttons[12]->setEnabled(canUndo && !redoes);
    mnuEdit1[0]->setEnabled(canUndo && !redoes);
    mnuEdit1[1]->setEnabled(redoes);
    Toolbar1->Buttons[13]->setEnabled(redoes);
    // Once there is something to undo the timer rests until the focus leaves
    // the control or another document comes; until then it keeps looking.
    if (canUndo)
        tmrUndo.stop();
    else
        tmrUndo.start();
}

void frmMainNote::tmrPaste_Timer()
{
    const bool canPaste = mnuEdit1[3]->isEnabled() && Clipboard::HasText();
    mnuEdit1[5]->setEnabled(canPaste);
    Toolbar1->Buttons[9]->setEnabled(canPaste);
}
