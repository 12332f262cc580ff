#pragma once

class QDialog;

// A dialog's title bar offers no minimising, and no maximising either where
// the dialog's size is fixed. ShowModal sees to it; a modeless dialog calls
// this before it is shown.
void setDialogTitleButtons(QDialog &dialog);

// Every modal window of the program is shown through here, so that tests can
// act on it through its controls. Returns the dialog's result code.
int ShowModal(QDialog &dialog);
