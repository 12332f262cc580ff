#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class RichTextBox;
class StoreSearch;

// The Replace dialog: modeless, like Find, and one at a time. Each button
// acts on the document active when it is pressed. The search box shares
// Find's history; the settings live in the edit commands' module.
class frmReplaceDlg : public QDialog
{
    Q_OBJECT

public:
    static frmReplaceDlg &Get();
    static frmReplaceDlg *Loaded();

    // Shows it, or brings it forward, with the keys in the search box.
    void Show();

    QLabel *lblFind = nullptr;
    QComboBox *cboFind = nullptr;
    QLabel *lblReplace = nullptr;
    QComboBox *cboReplace = nullptr;
    QCheckBox *chkCase = nullptr;
    QCheckBox *chkWord = nullptr;
    QCheckBox *chkExpression = nullptr;
    QPushButton *cmdFindNext = nullptr;
    QPushButton *cmdReplace = nullptr;
    QPushButton *cmdReplaceAll = nullptr;
    QPushButton *cmdClose = nullptr;
    // What the last Replace All did.
    QLabel *lblResult = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    explicit frmReplaceDlg(QWidget *parent);

    void cboFind_Change();
    void cmdFindNext_Click();
    void cmdReplace_Click();
    void cmdReplaceAll_Click();
    void cmdClose_Click();

    // The search as the boxes set it, on text, with the boxes' texts
    // remembered; null without a text, or, with the reason shown, when the
    // regular expression does not compile.
    std::unique_ptr<StoreSearch> search(RichTextBox *text);
    // The boxes' texts go to the front of their histories.
    void remember();
    // Selects the next occurrence from from on, or says there is none.
    void findFrom(RichTextBox &text, StoreSearch &search, qsizetype from);

    // The empty occurrence last selected, so that the next search passes
    // over it; -1 for none.
    qsizetype m_emptyFoundAt = -1;
};
