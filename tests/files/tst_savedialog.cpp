#include "filetestsupport.h"
#include "files/menufile.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "programsuite.h"
#include "suites.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace FileTest;

namespace {

const QString clash = QStringLiteral("Error. Cannot backup file in the same drive and directory!");

} // namespace

class SaveDialogTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void theTextTypeAddsItsExtensionOnlyToANameWithoutADot_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("name"); // <folder> stands for the test's own folder
        QTest::addColumn<QString>("saved");
        QTest::newRow("text type") << 1 << "report" << "report.txt";
        QTest::newRow("all files") << 0 << "report" << "report";
        QTest::newRow("a dot already") << 1 << "notes.old" << "notes.old";
        QTest::newRow("a whole path, as it stands") << 1 << "<folder>/o.d/report" << "o.d/report.txt";
    }

    void theTextTypeAddsItsExtensionOnlyToANameWithoutADot()
    {
        QFETCH(int, type);
        QFETCH(QString, name);
        QFETCH(QString, saved);
        frmMainNote &frame = loadedFrame();
        QDir(fresh().folder()).mkpath(QStringLiteral("o.d"));
        const bool wholePath = name.startsWith(QStringLiteral("<folder>"));
        name.replace(QStringLiteral("<folder>"), fresh().folder());
        QString shown;
        saveThroughDialog(fresh().folder(), name, [&](frmSaveDlg &save) {
            save.Filetype->setCurrentIndex(type);
            QObject::connect(save.cmdSave, &QPushButton::clicked, &save, [&] { shown = save.Filename->text(); });
        });
        frame.mnuFile1[5]->trigger();
        QCOMPARE(shown, wholePath ? fresh().path(saved) : saved);
        QVERIFY(QFileInfo(fresh().path(saved)).isFile());
        QCOMPARE(QDir(fresh().folder()).entryList(QDir::Files), wholePath ? QStringList() : QStringList {saved});
        QCOMPARE(frame.activeCaption(), native(fresh().path(saved)));
    }

    void aNewDocumentIsProposedUnderItsCaption()
    {
        frmMainNote &frame = loadedFrame();
        MenuFile::FileNew();
        MenuFile::FileNew();
        QCOMPARE(frame.activeCaption(), QStringLiteral("Untitled3"));
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &save = static_cast<frmSaveDlg &>(dialog);
            QCOMPARE(save.Filename->text(), QStringLiteral("Untitled3"));
            (void)save.dirList->setPath(fresh().folder());
            save.cmdSave->click();
        });
        frame.mnuFile1[4]->trigger();
        QVERIFY(QFileInfo::exists(fresh().path(QStringLiteral("Untitled3.txt"))));
        QVERIFY(MenuFile::SelectedFile.isEmpty());
    }

    void saveAsProposesTheMainPathOfAListOfCopies()
    {
        frmMainNote &frame = loadedFrame();
        QDir(fresh().folder()).mkpath(QStringLiteral("keep"));
        const QString main = native(fresh().path(QStringLiteral("main.txt")));
        frame.activeDocument()->setCaption(main + QStringLiteral("; ") + native(fresh().path(QStringLiteral("keep/main.txt"))));
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &save = static_cast<frmSaveDlg &>(dialog);
            QCOMPARE(save.Filename->text(), QStringLiteral("main.txt"));
            QCOMPARE(save.dirList->Path(), native(fresh().folder()));
            QVERIFY(!save.Check2->isChecked() && !save.Drive1->isEnabled() && !save.Dir1->isEnabled());
            save.cmdCancel->click();
        });
        frame.mnuFile1[5]->trigger();
        QCOMPARE(TestSeam::unhandledModalWindows(), 0);
    }

    void twoCopiesInOnePlaceOrAFolderOfTheNameAreRefusedAndNothingIsWritten()
    {
        frmMainNote &frame = loadedFrame();
        QDir(fresh().folder()).mkpath(QStringLiteral("other"));
        bool stayedOpen = false;
        auto tryBackups = [&](const QString &first, const QString &second) {
            saveThroughDialog(fresh().folder(), QStringLiteral("same.txt"), [&, first, second](frmSaveDlg &save) {
                save.Check2->setChecked(true);
                (void)save.Dir1->setPath(first);
                if (!second.isEmpty()) {
                    save.Check3->setChecked(true);
                    (void)save.Dir2->setPath(second);
                }
                QObject::connect(save.cmdSave, &QPushButton::clicked, &save, [&] { stayedOpen = save.isVisible(); });
            });
            frame.mnuFile1[5]->trigger();
        };
        tryBackups(fresh().folder(), QString());
        QVERIFY(stayedOpen);
        tryBackups(fresh().path(QStringLiteral("other")), fresh().path(QStringLiteral("other")));
        QVERIFY(stayedOpen);
        // A folder of the name is no file to replace.
        QDir(fresh().folder()).mkpath(QStringLiteral("b/same.txt"));
        tryBackups(fresh().path(QStringLiteral("b")), QString());
        QVERIFY(stayedOpen);

        const QString folder = QStringLiteral("Error. ") + native(fresh().path(QStringLiteral("b/same.txt")))
                               + QStringLiteral(" is a folder, not a file!");
        QCOMPARE(TestSeam::shownMessages().size(), 3);
        for (const TestSeam::ShownMessage &message : TestSeam::shownMessages()) {
            QCOMPARE(message.text, &message == &TestSeam::shownMessages().last() ? folder : clash);
            QCOMPARE(message.title, QStringLiteral("Save"));
        }
        QVERIFY(!QFileInfo::exists(fresh().path(QStringLiteral("same.txt"))));
        QVERIFY(!QFileInfo::exists(fresh().path(QStringLiteral("other/same.txt"))));
        QCOMPARE(frame.activeCaption(), QStringLiteral("Untitled1"));
    }

    void oneQuestionNamesTheFilesThatWouldBeReplaced()
    {
        frmMainNote &frame = loadedFrame();
        QDir root(fresh().folder());
        root.mkpath(QStringLiteral("b1"));
        root.mkpath(QStringLiteral("b2"));
        write(fresh().path(QStringLiteral("b1/n.txt")), "old 1");
        write(fresh().path(QStringLiteral("b2/n.txt")), "old 2");
        QTest::keyClicks(document(1)->Text1, QStringLiteral("new"));
        auto withBackups = [&](bool second) {
            return [&, second](frmSaveDlg &save) {
                save.Check2->setChecked(true);
                (void)save.Dir1->setPath(fresh().path(QStringLiteral("b1")));
                save.Check3->setChecked(second);
                (void)save.Dir2->setPath(fresh().path(QStringLiteral("b2")));
            };
        };

        // No: nothing is written and the dialog stays as it was.
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        bool keptChoices = false;
        saveThroughDialog(fresh().folder(), QStringLiteral("n.txt"), [&](frmSaveDlg &save) {
            withBackups(true)(save);
            QObject::connect(save.cmdSave, &QPushButton::clicked, &save, [&] {
                keptChoices = save.isVisible() && save.Check2->isChecked() && save.Check3->isChecked()
                              && save.Filename->text() == QStringLiteral("n.txt");
            });
        });
        frame.mnuFile1[5]->trigger();
        QVERIFY(keptChoices);
        QCOMPARE(TestSeam::shownMessages().at(0).text,
                 native(fresh().path(QStringLiteral("b1/n.txt"))) + QStringLiteral("; ")
                     + native(fresh().path(QStringLiteral("b2/n.txt")))
                     + QStringLiteral(" exist, do you want to overwrite these files?"));
        QCOMPARE(TestSeam::shownMessages().at(0).style, MsgBoxStyle::YesNo | MsgBoxStyle::Question);
        QCOMPARE(read(fresh().path(QStringLiteral("b1/n.txt"))), QByteArray("old 1"));
        QVERIFY(!QFileInfo::exists(fresh().path(QStringLiteral("n.txt"))));

        // Only the first backup existing, Yes: everything is written.
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Yes);
        saveThroughDialog(fresh().folder(), QStringLiteral("n.txt"), withBackups(false));
        frame.mnuFile1[5]->trigger();
        QCOMPARE(TestSeam::shownMessages().at(1).text, native(fresh().path(QStringLiteral("b1/n.txt")))
                                                           + QStringLiteral(" exists, do you want to overwrite this file?"));
        QCOMPARE(read(fresh().path(QStringLiteral("n.txt"))), QByteArray("new"));
        QCOMPARE(read(fresh().path(QStringLiteral("b1/n.txt"))), QByteArray("new"));
        QCOMPARE(read(fresh().path(QStringLiteral("b2/n.txt"))), QByteArray("old 2"));
    }

    void aBackupThatCannotBeWrittenKeepsTheMainFileAndTheChange()
    {
        // A folder nobody can create files in, whoever runs the test.
        if (!QFileInfo(QStringLiteral("/proc")).isDir())
            QSKIP("needs a folder that refuses new files even to the administrator");
        frmMainNote &frame = loadedFrame();
        QTest::keyClicks(document(1)->Text1, QStringLiteral("text"));
        saveThroughDialog(fresh().folder(), QStringLiteral("main.txt"), [](frmSaveDlg &save) {
            save.Check2->setChecked(true);
            (void)save.Dir1->setPath(QStringLiteral("/proc"));
        });
        frame.mnuFile1[5]->trigger();

        const QString main = native(fresh().path(QStringLiteral("main.txt")));
        QCOMPARE(read(main), QByteArray("text"));
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        QCOMPARE(TestSeam::shownMessages().at(0).text, QStringLiteral("Error. Unable to Save main.txt"));
        QCOMPARE(frame.activeCaption(), main);
        QVERIFY(Quillo::DocState[1].Modified);
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
        QCOMPARE(TestSeam::modalWindowsLeftOpen(), 0);
        // The recent files are left alone.
        QVERIFY(!frame.mnuFile1[11]->isVisible());

        // A main file that cannot be written leaves its backups unwritten.
        QDir(fresh().folder()).mkpath(QStringLiteral("keep"));
        saveThroughDialog(QStringLiteral("/proc"), QStringLiteral("other.txt"), [&](frmSaveDlg &save) {
            save.Check2->setChecked(true);
            (void)save.Dir1->setPath(fresh().path(QStringLiteral("keep")));
        });
        frame.mnuFile1[5]->trigger();
        QCOMPARE(TestSeam::shownMessages().size(), 2);
        QCOMPARE(TestSeam::shownMessages().at(1).text, QStringLiteral("Error. Unable to Save other.txt"));
        QVERIFY(!QFileInfo::exists(fresh().path(QStringLiteral("keep/other.txt"))));
        QCOMPARE(frame.activeCaption(), main);
    }
};

QUILLORY_SUITE(SaveDialogTest)
#include "tst_savedialog.moc"
