#pragma once

#include <QDialog>

class DirListBox;
class DriveListBox;
class FileListBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

// The Open dialog: chooses a file, from the recent files or by browsing,
// and leaves its path in SelectedFile. It opens nothing itself.
class frmOpenDlg : public QDialog
{
    Q_OBJECT

public:
    explicit frmOpenDlg(QWidget *parent);

    // The recent files' tab when it lists any, else the browsing tab.
    void showFirstTab();

    QTabWidget *SSTab1 = nullptr;
    QGroupBox *Frame1[2] = {};
    QListWidget *List1 = nullptr;
    DriveListBox *drvList = nullptr;
    DirListBox *dirList = nullptr;
    FileListBox *filList = nullptr;
    QLabel *Label1[2] = {};
    QLineEdit *Filename = nullptr;
    QComboBox *Filetype = nullptr;
    // "Automatic", then the encodings a file can be read in.
    QLabel *lblEncoding = nullptr;
    QComboBox *cboEncoding = nullptr;
    QPushButton *cmdOpen = nullptr;
    QPushButton *cmdCancel = nullptr;
    QLabel *imgAdvert = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void showExistingFiles();
    void Filetype_Click();
    void drvList_Change();
    void dirList_Change();
    void filList_Click();
    void cmdOpen_Click();
    void cmdCancel_Click();
    // The recent tab, when it shows, has a file chosen.
    void recentTabShown();
    // A recent file chosen shows the encoding it was last opened in.
    void List1_Change();
};
