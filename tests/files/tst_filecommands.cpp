#include "filetestsupport.h"
#include "files/menufile.h"
#include "editor/inplacefile.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "programsuite.h"
#include "shell/actionarray.h"
#include "suites.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QTest>

using namespace FileTest;

namespace {

const QString savePrompt = QStringLiteral("Text in [%1] has been modified.\r\nDo you want to save the changes?");

QStringList captions()
{
    QStringList result;
    for (int slot = 1; slot < Quillo::Documents.size(); ++slot) {
        if (Quillo::Documents[slot] && Quillo::Documents[slot]->isLoaded() && !Quillo::DocState[slot].Free)
            result << Quillo::Documents[slot]->Caption();
    }
    return result;
}

frmNotePad *documentCaptioned(const QString &caption)
{
    for (const auto &document : std::as_const(Quillo::Documents)) {
        if (document && document->isLoaded() && document->Caption() == caption)
            return document;
    }
    return nullptr;
}

} // namespace

class FileCommandsTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void filesComeBackByteForByteThroughOpenAndSave_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-8, CR LF") << QByteArray("one\r\ntwo\r\n");
        QTest::newRow("UTF-8 with BOM, LF, no final line end") << QByteArray("\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\nend");
        QTest::newRow("UTF-16LE, CR") << QByteArray("\xFF\xFEh\0i\0\r\0", 8);
        QTest::newRow("8-bit, mixed line ends") << QByteArray("caf\xE9\r\nna\xEFve\nend\r");
        QTest::newRow("empty") << QByteArray();
    }

    void filesComeBackByteForByteThroughOpenAndSave()
    {
        QFETCH(QByteArray, bytes);
        frmMainNote &frame = loadedFrame();
        const QString path = native(fresh().path(QStringLiteral("note.txt")));
        write(path, bytes);

        openThroughDialog(fresh().folder(), QStringLiteral("note.txt"));
        frame.mnuFile1[1]->trigger();
        QCOMPARE(frame.activeCaption(), path);
        frmNotePad *document = frame.activeDocument();
        QVERIFY(!Quillo::DocState[document->Tag().toInt()].Modified);

        write(path, "overwritten");
        frame.mnuFile1[4]->trigger();
        QCOMPARE(read(path), bytes);
        QVERIFY(TestSeam::shownMessages().isEmpty());

        const QString copy = native(fresh().path(QStringLiteral("work/copy.txt")));
        saveThroughDialog(fresh().path(QStringLiteral("work")), QStringLiteral("copy.txt"));
        frame.mnuFile1[5]->trigger();
        QCOMPARE(read(copy), bytes);
        QCOMPARE(frame.activeCaption(), copy);
    }

    void anEightBitFileIsNeverReencodedUnasked_data()
    {
        QTest::addColumn<QString>("saving"); // "save", "close" or "save as" with a backup
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("bytes"); // of every file written, or of the file kept
        QTest::newRow("a letter it holds") << "save" << "\u00E8" << 0 << QByteArray("caf\xE9\r\n\xE8");
        QTest::newRow("Save, Yes") << "save" << "\u03C9" << int(MsgBoxAnswer::Yes) << QByteArray("caf\xC3\xA9\r\n\xCF\x89");
        QTest::newRow("Save, No") << "save" << "\u03C9" << int(MsgBoxAnswer::No) << QByteArray("caf\xE9\r\n");
        QTest::newRow("closing, No") << "close" << "\u03C9" << int(MsgBoxAnswer::No) << QByteArray("caf\xE9\r\n");
        QTest::newRow("Save As with a backup, Yes")
            << "save as" << "\u03C9" << int(MsgBoxAnswer::Yes) << QByteArray("caf\xC3\xA9\r\n\xCF\x89");
    }

    void anEightBitFileIsNeverReencodedUnasked()
    {
        QFETCH(QString, saving);
        QFETCH(int, answer);
        QFETCH(QByteArray, bytes);
        frmMainNote &frame = loadedFrame();
        const QString path = native(fresh().path(QStringLiteral("note.txt")));
        write(path, "caf\xE9\r\n");
        MenuFile::OpenFile(path);
        frmNotePad *document = frame.activeDocument();
        QVERIFY(document->Text1->setSelStart(document->Text1->textLength()).ok());
        QFETCH(QString, typed);
        QTest::sendKeyEvent(QTest::Click, document->Text1, Qt::Key_unknown, typed, Qt::NoModifier);

        QStringList written {path};
        if (saving == QStringLiteral("close"))
            TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Yes);
        if (answer != 0)
            TestSeam::queueMessageBoxAnswer(answer);
        if (saving == QStringLiteral("save as")) {
            written = QStringList {native(fresh().path(QStringLiteral("work/note.txt"))),
                                   native(fresh().path(QStringLiteral("b1/note.txt")))};
            QDir(fresh().folder()).mkpath(QStringLiteral("b1"));
            saveThroughDialog(fresh().path(QStringLiteral("work")), QStringLiteral("note.txt"), [&](frmSaveDlg &save) {
                save.Check2->setChecked(true);
                (void)save.Dir1->setPath(fresh().path(QStringLiteral("b1")));
            });
            frame.mnuFile1[5]->trigger();
        } else if (saving == QStringLiteral("close")) {
            document->close();
        } else {
            frame.mnuFile1[4]->trigger();
        }

        const QList<TestSeam::ShownMessage> asked = TestSeam::shownMessages();
        QCOMPARE(asked.size(), (answer != 0 ? 1 : 0) + (saving == QStringLiteral("close") ? 1 : 0));
        if (answer != 0) {
            QVERIFY(asked.last().text.startsWith(QStringLiteral("Error. ")));
            QVERIFY(asked.last().text.contains(written.first() + QStringLiteral(". Do you want to save the file as UTF-8?")));
            QCOMPARE(asked.last().title, QStringLiteral("Save"));
        }
        for (const QString &file : written)
            QCOMPARE(read(file), bytes);
        // Nothing saved: the change stays, and the window with it.
        QCOMPARE(document->isLoaded(), true);
        QCOMPARE(Quillo::DocState[document->Tag().toInt()].Modified, answer == MsgBoxAnswer::No);
    }

    void aFileThatCannotBeOpenedLeavesNoWindowButJoinsTheRecentFiles()
    {
        frmMainNote &frame = loadedFrame();
        const QString missing = native(fresh().path(QStringLiteral("gone.txt")));
        openThroughDialog(fresh().folder(), QStringLiteral("gone.txt"));
        frame.mnuFile1[1]->trigger();

        QCOMPARE(TestSeam::shownMessages().size(), 1);
        const TestSeam::ShownMessage &message = TestSeam::shownMessages().at(0);
        QCOMPARE(message.text, QStringLiteral("Error. Can't open file: ") + missing);
        QCOMPARE(message.title, QStringLiteral("Open"));
        QCOMPARE(message.style, MsgBoxStyle::Exclamation);
        QCOMPARE(captions(), QStringList {QStringLiteral("Untitled1")});
        QCOMPARE(Caption(frame.mnuFile1[11]), QStringLiteral("&1   ") + missing);
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
        // Its slot is free again for the next new document.
        MenuFile::FileNew();
        QCOMPARE(frame.activeCaption(), QStringLiteral("Untitled2"));
    }

    void aFileAlreadyOpenOpensInASecondWindow()
    {
        loadedFrame();
        const QString path = native(fresh().path(QStringLiteral("twice.txt")));
        write(path, "same");
        MenuFile::OpenFile(path);
        MenuFile::OpenFile(path);
        QCOMPARE(captions(), (QStringList {QStringLiteral("Untitled1"), path, path}));
    }

    void aDocumentSavedWithTwoBackupsRewritesAllThreeMainFirst()
    {
        frmMainNote &frame = loadedFrame();
        QDir(fresh().folder()).mkpath(QStringLiteral("b1"));
        QDir(fresh().folder()).mkpath(QStringLiteral("b2"));
        const QString main = native(fresh().path(QStringLiteral("work/main.txt")));
        const QString backup1 = native(fresh().path(QStringLiteral("b1/main.txt")));
        const QString backup2 = native(fresh().path(QStringLiteral("b2/main.txt")));
        QTest::keyClicks(document(1)->Text1, QStringLiteral("first"));

        saveThroughDialog(fresh().path(QStringLiteral("work")), QStringLiteral("main.txt"), [&](frmSaveDlg &save) {
            save.Check2->setChecked(true);
            (void)save.Dir1->setPath(fresh().path(QStringLiteral("b1")));
            save.Check3->setChecked(true);
            (void)save.Dir2->setPath(fresh().path(QStringLiteral("b2")));
        });
        frame.mnuFile1[4]->trigger();
        QCOMPARE(document(1)->Caption(), main + QStringLiteral("; ") + backup1 + QStringLiteral("; ") + backup2);
        QVERIFY(!Quillo::DocState[1].Modified);

        QTest::keyClicks(document(1)->Text1, QStringLiteral(" second"));
        frame.mnuFile1[4]->trigger();
        for (const QString &path : {main, backup1, backup2})
            QCOMPARE(read(path), QByteArray("first second"));
        QVERIFY(QFileInfo(main).lastModified() <= QFileInfo(backup1).lastModified());
        QVERIFY(QFileInfo(backup1).lastModified() <= QFileInfo(backup2).lastModified());
        QVERIFY(!Quillo::DocState[1].Modified);
        QCOMPARE(Caption(frame.mnuFile1[11]), QStringLiteral("&1   ") + main);
    }

    void aFileNamedLikeAListOfCopiesIsSavedAsItselfOnly()
    {
        frmMainNote &frame = loadedFrame();
        const QString path = native(fresh().path(QStringLiteral("a; b.txt")));
        write(path, "old");
        MenuFile::OpenFile(path);
        QTest::keyClicks(frame.activeDocument()->Text1, QStringLiteral("new "));
        frame.mnuFile1[4]->trigger();

        QVERIFY(TestSeam::shownMessages().isEmpty());
        QCOMPARE(read(path), QByteArray("new old"));
        QCOMPARE(QDir(fresh().folder()).entryList(QDir::Files), QStringList {QStringLiteral("a; b.txt")});
        QCOMPARE(QDir(fresh().path(QStringLiteral("work"))).entryList(QDir::Files), QStringList());
        QCOMPARE(frame.activeCaption(), path);
    }

    void aSaveThatFailsKeepsTheFileTheCaptionAndTheChange()
    {
        frmMainNote &frame = loadedFrame();
        QDir(fresh().folder()).mkpath(QStringLiteral("going"));
        const QString path = native(fresh().path(QStringLiteral("going/note.txt")));
        write(path, "kept");
        MenuFile::OpenFile(path);
        frmNotePad *document = frame.activeDocument();
        QTest::keyClicks(document->Text1, QStringLiteral("x"));
        // The folder is replaced by a file of the same name.
        QDir(fresh().path(QStringLiteral("going"))).removeRecursively();
        write(fresh().path(QStringLiteral("going")), "in the way");

        frame.mnuFile1[4]->trigger();
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        QCOMPARE(TestSeam::shownMessages().at(0).text, QStringLiteral("Error. Unable to Save ") + path);
        QCOMPARE(TestSeam::shownMessages().at(0).title, QStringLiteral("Save"));
        QCOMPARE(read(fresh().path(QStringLiteral("going"))), QByteArray("in the way"));
        QCOMPARE(document->Caption(), path);
        QVERIFY(Quillo::DocState[document->Tag().toInt()].Modified);
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);

        // Closing it and answering Yes saves again, fails again and keeps it open.
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Yes);
        document->close();
        QVERIFY(document->isLoaded());
        QVERIFY(Quillo::CloseCancelled);
        QCOMPARE(TestSeam::shownMessages().size(), 3);
        QCOMPARE(TestSeam::shownMessages().at(2).text, QStringLiteral("Error. Unable to Save ") + path);
    }

    void yesAtTheClosePromptSavesANewDocumentThroughTheDialog()
    {
        loadedFrame();
        QTest::keyClicks(document(1)->Text1, QStringLiteral("keep me"));

        // Cancelling the dialog keeps the window.
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Yes);
        TestSeam::queueModalAction([](QDialog &dialog) {
            QCOMPARE(static_cast<frmSaveDlg &>(dialog).Filename->text(), QStringLiteral("Untitled1"));
            static_cast<frmSaveDlg &>(dialog).cmdCancel->click();
        });
        document(1)->close();
        QVERIFY(document(1)->isLoaded());
        QVERIFY(Quillo::CloseCancelled);

        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Yes);
        saveThroughDialog(fresh().folder(), QStringLiteral("Untitled1"));
        document(1)->close();
        QVERIFY(!document(1)->isLoaded());
        QVERIFY(!Quillo::CloseCancelled);
        QVERIFY(MenuFile::SelectedFile.isEmpty());
        QCOMPARE(read(fresh().path(QStringLiteral("Untitled1.txt"))), QByteArray("keep me"));
    }

    void filesNamedOnTheCommandLineOpenInTheirOwnWindows()
    {
        const QString first = native(fresh().path(QStringLiteral("first.txt")));
        const QString second = native(fresh().path(QStringLiteral("second.txt")));
        const QString missing = native(fresh().path(QStringLiteral("missing.txt")));
        write(first, "1");
        write(second, "2");
        Quillo::StartFiles = {first, missing, second};
        frmMainNote &frame = loadedFrame();
        Quillo::OpenStartFiles();

        QCOMPARE(captions(), (QStringList {first, second}));
        QCOMPARE(documentCaptioned(second)->Text1->Text(), QStringLiteral("2"));
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        QCOMPARE(TestSeam::shownMessages().at(0).text, QStringLiteral("Error. Can't open file: ") + missing);
        QCOMPARE(frame.activeCaption(), second);
    }

    void aSaveCutShortIsReportedAtStartWithWhereItsOldTextIs()
    {
        loadedFrame();
        Quillo::ReportInterruptedSaves();
        QVERIFY(TestSeam::shownMessages().isEmpty());

        // What a save in place leaves when the program is killed during it.
        QDir().mkpath(recoveryFolder());
        const QString copy = QDir(recoveryFolder()).filePath(QStringLiteral("notes 2026-12-06 10.00.00.txt"));
        write(copy, "old text");
        write(copy + QStringLiteral(".note"), fresh().path(QStringLiteral("notes.txt")).toUtf8());
        Quillo::ReportInterruptedSaves();
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        const QString text = TestSeam::shownMessages().at(0).text;
        QVERIFY2(text.startsWith(QStringLiteral("Error. A save was cut short: ")), qPrintable(text));
        QVERIFY2(text.contains(native(fresh().path(QStringLiteral("notes.txt")))), qPrintable(text));
        QVERIFY2(text.contains(native(copy)), qPrintable(text));
    }

    void onlyMissingFilesOnTheCommandLineLeaveTheNewDocument()
    {
        Quillo::StartFiles = {native(fresh().path(QStringLiteral("missing.txt")))};
        loadedFrame();
        Quillo::OpenStartFiles();
        QCOMPARE(captions(), QStringList {QStringLiteral("Untitled1")});
        QCOMPARE(TestSeam::shownMessages().size(), 1);
    }
};

QUILLORY_SUITE(FileCommandsTest)
#include "tst_filecommands.moc"
