#pragma once

class QDialog;

// Every modal window of the program is shown through here, so that tests can
// act on it through its controls. Returns the dialog's result code.
int ShowModal(QDialog &dialog);
