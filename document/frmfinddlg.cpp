#include "document/frmfinddlg.h"

#include "document/menuedit.h"
#include "platform/modal.h"
#include "shell/artwork.h"
#include "shell/quillo.h"
#include "shell/frmmainnote.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QPointer<frmFindDlg> loadedDialog;

} // namespace

frmFindDlg &frmFindDlg::Get()
{
    if (!loadedDialog)
        loadedDialog = new frmFindDlg(Quillo::MainForm);
    return *loadedDialog;
}

frmFindDlg *frmFindDlg::Loaded()
{
    return loadedDialog;
}

frmFindDlg::frmFindDlg(QWidget *parent)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);

    auto *page = new QWidget;
    Label1 = new QLabel(QStringLiteral("Fi&nd What:"));
    Combo1 = new QComboBox;
    Combo1->setEditable(true);
    // The list is the history that the dialog keeps itself.
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    // What the user types is what is searched, not a history entry it starts.
    Combo1->setCompleter(nullptr);
    Combo1->setMinimumContentsLength(24);
    Combo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Label1->setBuddy(Combo1);
    Label1->setTextFormat(Qt::PlainText);

    fraSearch = new QGroupBox(QStringLiteral("Search"));
    Option[0] = new QRadioButton(QStringLiteral("&All Text"));
    Option[1] = new QRadioButton(QStringLiteral("&Selected Text"));
    Option[0]->setChecked(true);
    Option[1]->setEnabled(false);
    auto *searchLayout = new QVBoxLayout(fraSearch);
    searchLayout->addWidget(Option[0]);
    searchLayout->addWidget(Option[1]);

    fraDirection = new QGroupBox(QStringLiteral("Direction"));
    optDirection[0] = new QRadioButton(QStringLiteral("&Up"));
    optDirection[1] = new QRadioButton(QStringLiteral("&Down"));
    auto *directionLayout = new QVBoxLayout(fraDirection);
    directionLayout->addWidget(optDirection[0]);
    directionLayout->addWidget(optDirection[1]);

    chkCase = new QCheckBox(QStringLiteral("&Match Case"));

    auto *pageLayout = new QGridLayout(page);
    pageLayout->addWidget(Label1, 0, 0);
    pageLayout->addWidget(Combo1, 0, 1, 1, 2);
    pageLayout->addWidget(fraSearch, 1, 0, 1, 2);
    pageLayout->addWidget(fraDirection, 1, 2);
    pageLayout->addWidget(chkCase, 2, 0, 1, 3);
    pageLayout->setRowStretch(3, 1);

    SSTab1 = new QTabWidget;
    SSTab1->addTab(page, QStringLiteral("Find &Text"));

    cmdFind = new QPushButton(QStringLiteral("&Find"));
    cmdFind->setDefault(true);
    cmdFind->setAutoDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    cmdCancel->setAutoDefault(false);
    imgAdvert = new QLabel;
    imgAdvert->setPixmap(logoPicture(48, devicePixelRatioF()));
    imgAdvert->setAlignment(Qt::AlignCenter);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdFind);
    buttons->addWidget(cmdCancel);
    buttons->addStretch(1);
    buttons->addWidget(imgAdvert);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Combo1, &QComboBox::editTextChanged, this, &frmFindDlg::Combo1_Change);
    connect(chkCase, &QCheckBox::stateChanged, this, &frmFindDlg::chkCase_Click);
    for (int index = 0; index < 2; ++index) {
        connect(optDirection[index], &QRadioButton::toggled, this, [this, index](bool on) {
            if (on)
                optDirection_Click(index);
        });
    }
    connect(cmdFind, &QPushButton::clicked, this, &frmFindDlg::cmdFind_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFindDlg::cmdCancel_Click);

    Form_Load();
}

void frmFindDlg::Show()
{
    setDialogTitleButtons(*this);
    show();
    raise();
    activateWindow();
    Combo1->setFocus();
}

void frmFindDlg::Form_Load()
{
    cmdFind->setEnabled(false);
    optDirection[MenuEdit::FindDirection == 1 ? 1 : 0]->setChecked(true);
    fillList();
    MenuEdit::NewSearch = 255;
}

void frmFindDlg::fillList()
{
    // The program's own filling is no change of the search text.
    const QSignalBlocker blocker(Combo1);
    for (const QString &entry : MenuEdit::FindWhat) {
        if (entry.isEmpty())
            break;
        Combo1->addItem(entry);
    }
    Combo1->setCurrentIndex(-1);
    Combo1->clearEditText();
}

void frmFindDlg::Combo1_Change()
{
    const QString text = Combo1->currentText();
    cmdFind->setEnabled(!text.isEmpty());
    MenuEdit::NewSearch = text != Combo1->itemText(0) ? 255 : 0;
}

void frmFindDlg::chkCase_Click()
{
    MenuEdit::MatchCase = chkCase->isChecked() ? 1 : 0;
}

void frmFindDlg::optDirection_Click(int Index)
{
    MenuEdit::FindDirection = static_cast<unsigned char>(Index);
}

void frmFindDlg::cmdFind_Click()
{
    std::array<QString, 5> &FindWhat = MenuEdit::FindWhat;
    FindWhat[0] = Combo1->currentText();
    bool listed = false;
    if (Combo1->count() > 0) {
        for (int i = 0; i < Combo1->count() && !listed; ++i)
            listed = Combo1->itemText(i) == FindWhat[0];
        if (!listed) {
            for (int i = 0; i < 4 && i < Combo1->count(); ++i)
                FindWhat[i + 1] = Combo1->itemText(i);
        }
    }
    if (!listed) {
        const QSignalBlocker blocker(Combo1);
        Combo1->clear();
    }
    if (!listed)
        fillList();
    MenuEdit::EditFindNext();
    // The box shows the search again, which is the newest entry now.
    const QSignalBlocker blocker(Combo1);
    Combo1->setEditText(FindWhat[0]);
}

void frmFindDlg::cmdCancel_Click()
{
    MenuEdit::FindWhat[0] = Combo1->currentText();
    MenuEdit::MatchCase = chkCase->isChecked() ? 1 : 0;
    close();
}

void frmFindDlg::keyPressEvent(QKeyEvent *event)
{
    // Escape is the Cancel button; the close box stores nothing.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
