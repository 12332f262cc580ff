#pragma once

#include <QDialog>

class DirListBox;
class DriveListBox;
class FileListBox;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class frmNotePad;

// The Save dialog: saves one document window under a name, and with it up
// to two backup copies in other folders. It refuses two copies in one
// place and asks once before replacing files.
class frmSaveDlg : public QDialog
{
    Q_OBJECT

public:
    frmSaveDlg(frmNotePad &target, QWidget *parent);

    QLineEdit *Filename = nullptr;
    QComboBox *Filetype = nullptr;
    QLabel *Label1[2] = {};
    // The encoding the save writes, the document's own at first.
    QLabel *lblEncoding = nullptr;
    QComboBox *cboEncoding = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdCancel = nullptr;
    QTabWidget *SSTab1 = nullptr;
    QGroupBox *Frame1[2] = {};
    DriveListBox *drvList = nullptr;
    DirListBox *dirList = nullptr;
    FileListBox *filList = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    DriveListBox *Drive1 = nullptr;
    DirListBox *Dir1 = nullptr;
    QCheckBox *Check3 = nullptr;
    DriveListBox *Drive2 = nullptr;
    DirListBox *Dir2 = nullptr;
    QLabel *imgAdvert = nullptr;

private:
    void Form_Load();
    void Filetype_Click();
    void dirList_Change();
    void filList_Click();
    void Check_Click(QCheckBox *check, DriveListBox *drive, DirListBox *folder);
    void cmdSave_Click();
    void cmdCancel_Click();
    // Writes the targets once the user may go on; false when an error
    // ended the save.
    bool writeTargets(const QString &main, const QString &backup1, const QString &backup2);

    frmNotePad &m_target;
};
