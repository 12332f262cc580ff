#include "files/frmsavedlg.h"

#include "document/draft.h"
#include "document/frmnotepad.h"
#include "editor/charsets.h"
#include "files/filedialogs.h"
#include "files/menufile.h"
#include "files/registry.h"
#include "platform/dirlistbox.h"
#include "platform/drivelistbox.h"
#include "platform/filelistbox.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "shell/artwork.h"
#include "shell/quillo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QColor unticked(128, 128, 128);
const QColor ticked(255, 255, 255);

void setListColour(QWidget *list, const QColor &colour)
{
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Button, colour);
    list->setPalette(palette);
}

// Whether a file is at path; a folder that cannot be reached is an error,
// as a drive that is not ready is.
Error targetExists(const QString &path, bool &exists)
{
    const QFileInfo target(path);
    if (!QFileInfo(target.absolutePath()).isDir())
        return Error::make(ErrorNumber::PathNotFound, path);
    exists = target.exists();
    return Error::none();
}

} // namespace

frmSaveDlg::frmSaveDlg(frmNotePad &target, QWidget *parent)
    : QDialog(parent)
    , m_target(target)
{
    setWindowTitle(QStringLiteral("Save"));

    SSTab1 = new QTabWidget;
    auto *mainPage = new QWidget;
    Frame1[0] = new QGroupBox(QStringLiteral("Store In:"));
    drvList = new DriveListBox;
    dirList = new DirListBox;
    filList = new FileListBox;
    // The main location is always written; its box only says so.
    Check1 = new QCheckBox;
    Check1->setChecked(true);
    Check1->setEnabled(false);
    Check1->setAccessibleName(QStringLiteral("Main copy"));
    auto *mainLayout = new QGridLayout(Frame1[0]);
    mainLayout->addWidget(Check1, 0, 0);
    mainLayout->addWidget(drvList, 0, 1);
    mainLayout->addWidget(dirList, 1, 1);
    mainLayout->addWidget(filList, 0, 2, 2, 1);
    (new QVBoxLayout(mainPage))->addWidget(Frame1[0]);
    SSTab1->addTab(mainPage, QStringLiteral("&Actual Drive"));

    auto *backupPage = new QWidget;
    Frame1[1] = new QGroupBox(QStringLiteral("Store In:"));
    Check2 = new QCheckBox(QStringLiteral("Backup copy &1"));
    Drive1 = new DriveListBox;
    Dir1 = new DirListBox;
    Check3 = new QCheckBox(QStringLiteral("Backup copy &2"));
    Drive2 = new DriveListBox;
    Dir2 = new DirListBox;
    Drive1->setAccessibleName(QStringLiteral("Backup copy 1 drive"));
    Dir1->setAccessibleName(QStringLiteral("Backup copy 1 folder"));
    Drive2->setAccessibleName(QStringLiteral("Backup copy 2 drive"));
    Dir2->setAccessibleName(QStringLiteral("Backup copy 2 folder"));
    auto *backupLayout = new QGridLayout(Frame1[1]);
    backupLayout->addWidget(Check2, 0, 0);
    backupLayout->addWidget(Drive1, 0, 1);
    backupLayout->addWidget(Dir1, 1, 1);
    backupLayout->addWidget(Check3, 2, 0);
    backupLayout->addWidget(Drive2, 2, 1);
    backupLayout->addWidget(Dir2, 3, 1);
    (new QVBoxLayout(backupPage))->addWidget(Frame1[1]);
    SSTab1->addTab(backupPage, QStringLiteral("&Other Drives"));

    QGridLayout *fields
        = FileDialogs::NameAndTypeFields(Label1, Filename, Filetype, cmdSave, QStringLiteral("&Save"), cmdCancel);
    imgAdvert = new QLabel;
    imgAdvert->setPixmap(logoPicture(48, devicePixelRatioF()));
    fields->addWidget(imgAdvert, 0, 3, 2, 1);
    FileDialogs::AddEncodingField(*fields, lblEncoding, cboEncoding);
    cboEncoding->addItems(chosenEncodings());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(fields);
    // One row taller, so that the tabs keep their size.
    resize(600, 440 + cboEncoding->sizeHint().height() + fields->verticalSpacing());

    connect(Filetype, &QComboBox::currentIndexChanged, this, &frmSaveDlg::Filetype_Click);
    connect(drvList, &DriveListBox::Change, this, [this] { FileDialogs::FollowDrive(*drvList, *dirList); });
    connect(Drive1, &DriveListBox::Change, this, [this] { FileDialogs::FollowDrive(*Drive1, *Dir1); });
    connect(Drive2, &DriveListBox::Change, this, [this] { FileDialogs::FollowDrive(*Drive2, *Dir2); });
    connect(dirList, &DirListBox::Change, this, &frmSaveDlg::dirList_Change);
    connect(filList, &FileListBox::Click, this, &frmSaveDlg::filList_Click);
    connect(Check2, &QCheckBox::toggled, this, [this] { Check_Click(Check2, Drive1, Dir1); });
    connect(Check3, &QCheckBox::toggled, this, [this] { Check_Click(Check3, Drive2, Dir2); });
    connect(cmdSave, &QPushButton::clicked, this, &frmSaveDlg::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSaveDlg::cmdCancel_Click);

    Form_Load();
}

void frmSaveDlg::Form_Load()
{
    for (auto [drive, folder] : {std::pair {drvList, dirList}, {Drive1, Dir1}, {Drive2, Dir2}})
        (void)drive->setDrive(folder->Path());
    (void)filList->setPath(dirList->Path());
    Check_Click(Check2, Drive1, Dir1);
    Check_Click(Check3, Drive2, Dir2);
    Filetype->addItem(QStringLiteral(" All Files (*.*)"));
    Filetype->addItem(QStringLiteral("Text Documents (*.txt)"));
    Filetype->setCurrentIndex(1);
    const QString own = m_target.Text1->fileEncoding();
    if (cboEncoding->findText(own) < 0)
        cboEncoding->insertItem(0, own);
    cboEncoding->setCurrentText(own);
    SSTab1->setCurrentIndex(0);
    Filename->setFocus();
}

void frmSaveDlg::Filetype_Click()
{
    filList->setPattern(FileDialogs::TypePattern(Filetype->currentText()));
}

void frmSaveDlg::dirList_Change()
{
    (void)filList->setPath(dirList->Path());
}

void frmSaveDlg::filList_Click()
{
    Filename->setText(filList->FileName());
}

void frmSaveDlg::Check_Click(QCheckBox *check, DriveListBox *drive, DirListBox *folder)
{
    const bool on = check->isChecked();
    for (QWidget *list : {static_cast<QWidget *>(drive), static_cast<QWidget *>(folder)}) {
        list->setEnabled(on);
        setListColour(list, on ? ticked : unticked);
    }
}

void frmSaveDlg::cmdSave_Click()
{
    QString name = Filename->text();
    if (name.isEmpty())
        return;
    // A whole path typed in the box names the main file wherever the lists
    // are; the backups take its name.
    const bool wholePath = QDir::isAbsolutePath(name);
    if (Filetype->currentIndex() != 0 && !QFileInfo(name).fileName().contains(u'.')) {
        const QString entry = Filetype->currentText();
        name += entry.mid(entry.size() - 5, 4);
        Filename->setText(name);
    }
    const QString fileName = wholePath ? QFileInfo(name).fileName() : name;

    const QString main = wholePath ? QDir::toNativeSeparators(name) : FileDialogs::JoinPath(filList->Path(), name);
    const QString backup1 = Check2->isChecked() ? FileDialogs::JoinPath(Dir1->Path(), fileName) : QString();
    const QString backup2 = Check3->isChecked() ? FileDialogs::JoinPath(Dir2->Path(), fileName) : QString();
    if ((Check2->isChecked() || Check3->isChecked())
        && (main == backup1 || main == backup2 || backup1 == backup2)) {
        MsgBox(QStringLiteral("Error. Cannot backup file in the same drive and directory!"), MsgBoxStyle::Exclamation,
               QStringLiteral("Save"));
        return;
    }
    // A folder is no file to replace.
    for (const QString &target : {main, backup1, backup2}) {
        if (!target.isEmpty() && QFileInfo(target).isDir()) {
            MsgBox(QStringLiteral("Error. ") + target + QStringLiteral(" is a folder, not a file!"),
                   MsgBoxStyle::Exclamation, QStringLiteral("Save"));
            return;
        }
    }

    if (!writeTargets(main, backup1, backup2)) {
        Screen::setMousePointer(MousePointer::Default);
        MsgBox(MenuFile::SaveFailed(*m_target.Text1, Filename->text()), MsgBoxStyle::Exclamation,
               QStringLiteral("Save"));
        reject();
    }
}

bool frmSaveDlg::writeTargets(const QString &main, const QString &backup1, const QString &backup2)
{
    QStringList targets {main};
    if (Check2->isChecked())
        targets << backup1;
    if (Check3->isChecked())
        targets << backup2;

    QStringList existing;
    for (const QString &target : targets) {
        bool exists = false;
        if (targetExists(target, exists).failed())
            return false;
        if (exists)
            existing << target;
    }
    if (!existing.isEmpty()) {
        const QString question = existing.join(QStringLiteral("; "))
                                 + (existing.size() == 1 ? QStringLiteral(" exists, do you want to overwrite this file?")
                                                         : QStringLiteral(" exist, do you want to overwrite these files?"));
        if (MsgBox(question, MsgBoxStyle::YesNo | MsgBoxStyle::Question, QStringLiteral("Save")) != MsgBoxAnswer::Yes)
            return true;
    }

    // The backups take the main file's encoding and answer. The document
    // keeps its own format until a file is written in the new one.
    const TextFileFormat own = m_target.Text1->fileFormat();
    if (cboEncoding->currentText() != m_target.Text1->fileEncoding())
        (void)m_target.Text1->setFileEncoding(cboEncoding->currentText());
    SaveEncoding encoding = SaveEncoding::Own;
    if (!MenuFile::ChooseSaveEncoding(*m_target.Text1, main, encoding)) {
        m_target.Text1->setFileFormat(own);
        return true;
    }

    Screen::setMousePointer(MousePointer::Hourglass);
    // Main first, then the backups, from one reading of the text; a file that
    // fails leaves the ones after it unwritten.
    const QList<Error> results = m_target.Text1->SaveFiles(targets, RichTextFileType::Text, true, encoding);
    if (results.first().failed())
        m_target.Text1->setFileFormat(own);
    QStringList written;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const QString &target = targets[i];
        if (results[i].failed())
            return false;
        written << target;
        if (written.size() == 1)
            MenuFile::SelectedFile = target;
        m_target.setCaption(written.join(QStringLiteral("; ")));
        // The caption alone cannot tell a name holding "; " from a list.
        m_target.setFilePaths(written);
    }
    const int slot = m_target.Tag().toInt();
    if (slot > 0 && slot < Quillo::DocState.size())
        Quillo::DocState[slot].Modified = false;
    m_target.draft().discard();
    Screen::setMousePointer(MousePointer::Default);
    Registry::AddRecentFile(main);
    accept();
    return true;
}

void frmSaveDlg::cmdCancel_Click()
{
    reject();
}
