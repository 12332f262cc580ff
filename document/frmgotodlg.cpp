#include "document/frmgotodlg.h"

#include "platform/msgbox.h"
#include "platform/richtextbox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

// Lines of the text left in sight above the line gone to.
constexpr int rowsAbove = 3;

} // namespace

frmGoToDlg::frmGoToDlg(RichTextBox &text, QWidget *parent)
    : QDialog(parent)
    , m_text(text)
{
    setWindowTitle(QStringLiteral("Go To Line"));
    lblLine = new QLabel(QStringLiteral("&Line number:"));
    txtLine = new QLineEdit;
    // Line numbers start at 1: the box takes digits, and no 0 before them.
    txtLine->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[1-9][0-9]{0,17}")), txtLine));
    lblLine->setBuddy(txtLine);
    cmdOK = new QPushButton(QStringLiteral("&OK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    cmdCancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto *layout = new QGridLayout(this);
    layout->addWidget(lblLine, 0, 0);
    layout->addWidget(txtLine, 0, 1);
    layout->addLayout(buttons, 1, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(txtLine, &QLineEdit::textChanged, this, [this] { cmdOK->setEnabled(!txtLine->text().isEmpty()); });
    connect(cmdOK, &QPushButton::clicked, this, &frmGoToDlg::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    txtLine->setText(QString::number(m_text.store().lineAt(m_text.cursorPosition()) + 1));
    txtLine->selectAll();
    txtLine->setFocus();
}

void frmGoToDlg::cmdOK_Click()
{
    const qsizetype line = txtLine->text().toLongLong();
    if (m_text.goToLine(line - 1, rowsAbove)) {
        accept();
        return;
    }
    const qsizetype lines = m_text.store().lineCount();
    MsgBox(QStringLiteral("Error. The text has only %1 %2.").arg(lines).arg(lines == 1 ? "line" : "lines"),
           MsgBoxStyle::Exclamation, QStringLiteral("Go To"));
    txtLine->selectAll();
    txtLine->setFocus();
}
