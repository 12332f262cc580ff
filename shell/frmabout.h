#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box: the product line, how to reach us and the legal notice in
// one label, our logo and an OK button.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QLabel *imgLogo = nullptr;
    QPushButton *cmdOK = nullptr;

private:
    void Form_Load();
    void cmdOK_Click();
};
