#include "files/frmopendlg.h"

#include "editor/charsets.h"
#include "files/filedialogs.h"
#include "files/menufile.h"
#include "platform/dirlistbox.h"
#include "platform/drivelistbox.h"
#include "platform/filelistbox.h"
#include "shell/artwork.h"

#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

frmOpenDlg::frmOpenDlg(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Open"));

    SSTab1 = new QTabWidget;
    auto *recentPage = new QWidget;
    Frame1[1] = new QGroupBox(QStringLiteral("Look In:"));
    List1 = new QListWidget;
    List1->setAccessibleName(QStringLiteral("Recent files"));
    imgAdvert = new QLabel;
    imgAdvert->setPixmap(logoPicture(48, devicePixelRatioF()));
    // A picture straight in the frame would take the frame's caption as its
    // name; in a holder of its own it is only decoration.
    auto *logoHolder = new QWidget;
    auto *logoLayout = new QVBoxLayout(logoHolder);
    logoLayout->setContentsMargins(0, 0, 0, 0);
    logoLayout->addWidget(imgAdvert);
    logoLayout->addStretch();
    auto *recentLayout = new QHBoxLayout(Frame1[1]);
    recentLayout->addWidget(List1, 1);
    recentLayout->addWidget(logoHolder);
    (new QVBoxLayout(recentPage))->addWidget(Frame1[1]);
    SSTab1->addTab(recentPage, QStringLiteral("&Recent Files"));

    auto *browsePage = new QWidget;
    Frame1[0] = new QGroupBox(QStringLiteral("Look In:"));
    drvList = new DriveListBox;
    dirList = new DirListBox;
    filList = new FileListBox;
    auto *browseLayout = new QGridLayout(Frame1[0]);
    browseLayout->addWidget(drvList, 0, 0);
    browseLayout->addWidget(dirList, 1, 0);
    browseLayout->addWidget(filList, 0, 1, 2, 1);
    (new QVBoxLayout(browsePage))->addWidget(Frame1[0]);
    SSTab1->addTab(browsePage, QStringLiteral("&Existing Files"));

    QGridLayout *fields
        = FileDialogs::NameAndTypeFields(Label1, Filename, Filetype, cmdOpen, QStringLiteral("&Open"), cmdCancel);
    FileDialogs::AddEncodingField(*fields, lblEncoding, cboEncoding);
    cboEncoding->addItem(QStringLiteral("Automatic"));
    cboEncoding->addItems(chosenEncodings());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(fields);
    // One row taller, so that the tabs keep their size.
    resize(560, 400 + cboEncoding->sizeHint().height() + fields->verticalSpacing());

    connect(SSTab1, &QTabWidget::currentChanged, this, &frmOpenDlg::recentTabShown);
    connect(Filetype, &QComboBox::currentIndexChanged, this, &frmOpenDlg::Filetype_Click);
    connect(drvList, &DriveListBox::Change, this, &frmOpenDlg::drvList_Change);
    connect(dirList, &DirListBox::Change, this, &frmOpenDlg::dirList_Change);
    connect(filList, &FileListBox::Click, this, &frmOpenDlg::filList_Click);
    // A double click chooses and opens in one go.
    connect(filList, &QListWidget::itemDoubleClicked, this, &frmOpenDlg::cmdOpen_Click);
    connect(List1, &QListWidget::currentRowChanged, this, &frmOpenDlg::List1_Change);
    connect(List1, &QListWidget::itemDoubleClicked, this, &frmOpenDlg::cmdOpen_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &frmOpenDlg::cmdOpen_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOpenDlg::cmdCancel_Click);
    // The name box belongs to the browsing tab: what is typed there is what
    // Open opens, whichever tab showed before.
    connect(Filename, &QLineEdit::textEdited, this, &frmOpenDlg::showExistingFiles);
    Filename->installEventFilter(this);

    Form_Load();
}

void frmOpenDlg::showFirstTab()
{
    SSTab1->setCurrentIndex(List1->count() > 0 ? 0 : 1);
    recentTabShown();
    if (SSTab1->currentIndex() == 0)
        List1->setFocus();
    else
        Filename->setFocus();
}

bool frmOpenDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Filename && event->type() == QEvent::FocusIn
        && static_cast<QFocusEvent *>(event)->reason() == Qt::ShortcutFocusReason)
        showExistingFiles();
    return QDialog::eventFilter(watched, event);
}

void frmOpenDlg::showExistingFiles()
{
    SSTab1->setCurrentIndex(1);
}

void frmOpenDlg::recentTabShown()
{
    // The newest file is chosen, so that Enter opens it.
    if (SSTab1->currentIndex() == 0 && List1->count() > 0 && List1->selectedItems().isEmpty())
        List1->setCurrentRow(0);
    // A file browsed to has no encoding of its own yet.
    if (SSTab1->currentIndex() == 0)
        List1_Change();
    else
        cboEncoding->setCurrentIndex(0);
}

void frmOpenDlg::List1_Change()
{
    const QListWidgetItem *line = List1->currentItem();
    const int found = line ? cboEncoding->findText(line->data(Qt::UserRole).toString()) : -1;
    cboEncoding->setCurrentIndex(found > 0 ? found : 0);
}

void frmOpenDlg::Form_Load()
{
    MenuFile::SelectedFile.clear();
    MenuFile::SelectedEncoding.clear();
    (void)drvList->setDrive(dirList->Path());
    (void)filList->setPath(dirList->Path());
}

void frmOpenDlg::Filetype_Click()
{
    filList->setPattern(FileDialogs::TypePattern(Filetype->currentText()));
}

void frmOpenDlg::drvList_Change()
{
    FileDialogs::FollowDrive(*drvList, *dirList);
}

void frmOpenDlg::dirList_Change()
{
    (void)filList->setPath(dirList->Path());
}

void frmOpenDlg::filList_Click()
{
    Filename->setText(filList->FileName());
}

void frmOpenDlg::cmdOpen_Click()
{
    if (SSTab1->currentIndex() == 0) {
        const QListWidgetItem *line = List1->currentItem();
        if (!line || !line->isSelected())
            return;
        MenuFile::SelectedFile = line->text();
    } else {
        if (Filename->text().isEmpty())
            return;
        // A whole path typed in the box names its file wherever the lists are.
        const QString name = Filename->text();
        MenuFile::SelectedFile = QDir::isAbsolutePath(name) ? QDir::toNativeSeparators(name)
                                                            : FileDialogs::JoinPath(filList->Path(), name);
    }
    if (cboEncoding->currentIndex() > 0)
        MenuFile::SelectedEncoding = cboEncoding->currentText();
    accept();
}

void frmOpenDlg::cmdCancel_Click()
{
    MenuFile::SelectedFile.clear();
    MenuFile::SelectedEncoding.clear();
    reject();
}
