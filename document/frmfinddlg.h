#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;

// The Find dialog: modeless, so that the user goes on working in the
// document while it is open. It keeps nothing of its own: the search
// settings live in the edit commands' module and outlive it.
class frmFindDlg : public QDialog
{
    Q_OBJECT

public:
    // The dialog, loaded first when it is not loaded.
    static frmFindDlg &Get();
    // The dialog while it is loaded, else null.
    static frmFindDlg *Loaded();

    // Shows it, or brings it forward when it is shown already.
    void Show();

    QTabWidget *SSTab1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QGroupBox *fraSearch = nullptr;
    QRadioButton *Option[2] = {};
    QGroupBox *fraDirection = nullptr;
    QRadioButton *optDirection[2] = {};
    QCheckBox *chkCase = nullptr;
    QPushButton *cmdFind = nullptr;
    QPushButton *cmdCancel = nullptr;
    QLabel *imgAdvert = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    explicit frmFindDlg(QWidget *parent);

    void Form_Load();
    void Combo1_Change();
    void chkCase_Click();
    void optDirection_Click(int Index);
    void cmdFind_Click();
    void cmdCancel_Click();
    // The list of the search box: the history, newest first.
    void fillList();
};
