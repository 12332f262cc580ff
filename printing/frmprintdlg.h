#pragma once

#include "platform/error.h"
#include "printing/cprintwrap.h"

#include <QDialog>

#include <utility>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabWidget;
class RichTextBox;

// The Print dialog: shows the printer, lets the user choose copies, what to
// print and single- or double-sided, and prints the active document, one job
// per copy.
class frmPrintDlg : public QDialog
{
    Q_OBJECT

public:
    explicit frmPrintDlg(QWidget *parent);

    QTabWidget *SSTab1 = nullptr;
    QGroupBox *Frame1[5] = {};
    QLabel *Label1[8] = {};
    QPushButton *cmdSetup = nullptr;
    QRadioButton *Option1[2] = {};
    QLineEdit *Text1[2] = {};
    QLineEdit *Text2 = nullptr;
    QScrollBar *VScroll1 = nullptr;
    QRadioButton *Option2[2] = {};
    QRadioButton *Option3[3] = {};
    QLabel *Image1 = nullptr;
    QPushButton *cmdPrint = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdPreview = nullptr;
    QLabel *imgAdvert = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void cmdSetup_Click();
    void Option1_Click(int Index);
    void Text2_LostFocus();
    void VScroll1_Change();
    void cmdPrint_Click();
    void cmdCancel_Click();
    void cmdPreview_Click();
    bool settingsAccepted();
    std::pair<qint64, qint64> pageRange() const;
    void reportNoPages(qint64 lastPage);
    PrintedText whatToPrint(RichTextBox &text) const;
    Error takeDocumentFont(RichTextBox &text);
    // Disables the double-sided options when the printer cannot print them.
    void probeDuplex();
    void showPrinter();
};
