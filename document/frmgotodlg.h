#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class RichTextBox;

// The Go To dialog: asks for a line number, offering the caret's own, and
// puts the caret at the start of that line of the text. A number past the
// last line is refused with a message, and the dialog stays for another.
class frmGoToDlg : public QDialog
{
    Q_OBJECT

public:
    frmGoToDlg(RichTextBox &text, QWidget *parent);

    QLabel *lblLine = nullptr;
    QLineEdit *txtLine = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void cmdOK_Click();

    RichTextBox &m_text;
};
