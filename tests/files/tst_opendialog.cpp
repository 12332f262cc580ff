#include "filetestsupport.h"
#include "files/menufile.h"
#include "files/registry.h"
#include "platform/filelistbox.h"
#include "programsuite.h"
#include "shell/actionarray.h"
#include "suites.h"

#include <QDir>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

using namespace FileTest;

class OpenDialogTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void enterOnTheRecentTabOpensTheChosenLineTheFirstOneAtFirst()
    {
        frmMainNote &frame = loadedFrame();
        const QString path = native(fresh().path(QStringLiteral("recent.txt")));
        write(path, "r");
        MenuFile::OpenFile(path);
        Registry::AddRecentFile(path);

        bool stayedOpen = false;
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &open = static_cast<frmOpenDlg &>(dialog);
            QCOMPARE(open.SSTab1->currentIndex(), 0);
            QCOMPARE(open.List1->count(), 1);
            QCOMPARE(open.List1->item(0)->text(), path);
            QVERIFY(open.List1->item(0)->isSelected());
            open.List1->clearSelection();
            open.cmdOpen->click();
            stayedOpen = open.isVisible();
            open.SSTab1->setCurrentIndex(1);
            open.SSTab1->setCurrentIndex(0);
            QTest::keyClick(open.List1, Qt::Key_Return);
        });
        frame.mnuFile1[1]->trigger();
        QVERIFY(stayedOpen);
        QCOMPARE(Quillo::Documents.size(), 4); // slot 0, Untitled1 and the file twice
        QCOMPARE(frame.activeCaption(), path);
        QVERIFY(MenuFile::SelectedFile.isEmpty());
    }

    void aTypedNameIsJoinedToTheListedFolderAsItStands()
    {
        loadedFrame();
        QDir(fresh().folder()).mkpath(QStringLiteral("sub"));
        frmOpenDlg dialog(Quillo::MainForm);
        dialog.SSTab1->setCurrentIndex(1);
        QVERIFY(dialog.dirList->setPath(fresh().folder()).ok());
        QCOMPARE(dialog.filList->Path(), native(fresh().folder()));
        dialog.Filename->setText(native(QStringLiteral("sub/notes.txt")));
        dialog.cmdOpen->click();
        QCOMPARE(MenuFile::SelectedFile, native(fresh().path(QStringLiteral("sub/notes.txt"))));

        frmOpenDlg atRoot(Quillo::MainForm);
        atRoot.SSTab1->setCurrentIndex(1);
        QVERIFY(atRoot.dirList->setPath(QDir::rootPath()).ok());
        atRoot.Filename->setText(QStringLiteral("notes.txt"));
        atRoot.cmdOpen->click();
        QCOMPARE(MenuFile::SelectedFile, native(QDir::rootPath() + QStringLiteral("notes.txt")));
    }

    void theTypePatternDecidesWhichFilesAreListed()
    {
        loadedFrame();
        write(fresh().path(QStringLiteral("a.txt")), "");
        write(fresh().path(QStringLiteral("b.log")), "");
        frmOpenDlg dialog(Quillo::MainForm);
        dialog.Filetype->addItem(QStringLiteral("All Files (*.*)"));
        dialog.Filetype->addItem(QStringLiteral("Text Documents (*.txt)"));
        dialog.Filetype->setCurrentIndex(1);
        (void)dialog.dirList->setPath(fresh().folder());
        QCOMPARE(dialog.filList->Pattern(), QStringLiteral("*.txt"));
        QCOMPARE(dialog.filList->count(), 1);
        dialog.Filetype->setCurrentIndex(0);
        QCOMPARE(dialog.filList->Pattern(), QStringLiteral("*.*"));
        QCOMPARE(dialog.filList->count(), 2);

        // Choosing a file puts its name in the box.
        QTest::mouseClick(dialog.filList->viewport(), Qt::LeftButton, {},
                          dialog.filList->visualItemRect(dialog.filList->item(1)).center());
        QCOMPARE(dialog.Filename->text(), QStringLiteral("b.log"));
    }

    void cancelAfterBrowsingOpensNothing()
    {
        frmMainNote &frame = loadedFrame();
        write(fresh().path(QStringLiteral("a.txt")), "");
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &open = static_cast<frmOpenDlg &>(dialog);
            open.SSTab1->setCurrentIndex(1);
            (void)open.dirList->setPath(fresh().folder());
            open.Filename->setText(QStringLiteral("a.txt"));
            open.cmdCancel->click();
        });
        frame.mnuFile1[1]->trigger();
        QCOMPARE(frame.activeCaption(), QStringLiteral("Untitled1"));
        QVERIFY(!frame.mnuFile1[11]->isVisible());
        QVERIFY(MenuFile::SelectedFile.isEmpty());
    }
};

QUILLORY_SUITE(OpenDialogTest)
#include "tst_opendialog.moc"
