#include "editor/inplacefile.h"
#include "files/registry.h"
#include "platform/filelistbox.h"
#include "programsuite.h"

#include <QListWidget>
#include <QScopeGuard>
#include <QStringEncoder>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

class FileCommandsTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void fileCommandsSaveWhatTheUserAsksAndNothingElse_data()
    {
        QTest::addColumn<QStringList>("steps"); // as afterSteps() takes them
        QTest::addColumn<QString>("outcome");
        const QStringList eightBit {"file note.txt=caf\u00E9\r\n", "open note.txt"};
        const QString asUtf8 = "Save: Error. Some characters of the text have no place in the character set of note.txt. "
                               "Do you want to save the file as UTF-8?";
        QTest::newRow("an 8-bit file keeps a letter it holds") << eightBit + QStringList {"type \u00E8", "File 4"}
                                                               << "windows: Untitled1, note.txt | note.txt=\\xE8caf\\xE9\\r\\n | recent: note.txt";
        QTest::newRow("an 8-bit file saved as UTF-8, asked") << eightBit + QStringList {"type \u03C9", "Yes", "File 4"}
                                                             << asUtf8 + " | windows: Untitled1, note.txt | note.txt=\\xCF\\x89caf\\xC3\\xA9\\r\\n | recent: note.txt";
        QTest::newRow("an 8-bit file not saved as UTF-8") << eightBit + QStringList {"type \u03C9", "No", "File 4"}
                                                          << asUtf8 + " | windows: Untitled1, note.txt* | note.txt=caf\\xE9\\r\\n";
        QTest::newRow("an 8-bit file closed, not saved as UTF-8")
            << eightBit + QStringList {"type \u03C9", "Yes", "No", "close"}
            << "note.txt: Text in [note.txt] has been modified.\r\nDo you want to save the changes? | " + asUtf8
                   + " | windows: Untitled1, note.txt* | note.txt=caf\\xE9\\r\\n";
        QTest::newRow("an 8-bit file saved as UTF-8 with a backup, asked once")
            << eightBit + QStringList {"type \u03C9", "Yes", "file b1/", "dialog work/note.txt + b1", "File 5"}
            << QString(asUtf8).replace("of note.txt", "of work/note.txt") + " | windows: Untitled1, work/note.txt; b1/note.txt "
               "| b1/note.txt=\\xCF\\x89caf\\xC3\\xA9\\r\\n | note.txt=caf\\xE9\\r\\n | work/note.txt=\\xCF\\x89caf\\xC3\\xA9\\r\\n | recent: work/note.txt";
        // The last step of a save, the new file taking the old one's place, fails when the folder has gone.
        QTest::newRow("the main file's folder gone at the last step") << QStringList {"file work/note.txt=old", "open work/note.txt", "type new ", "folder gone at commit work", "File 4"}
            << "Save: Error. Unable to Save work/note.txt | windows: Untitled1, work/note.txt* | work (gone)/note.txt=old";
        QTest::newRow("a backup's folder gone at the last step") << QStringList {"file b1/", "file note.txt=old", "open note.txt", "type new ", "dialog note.txt + b1", "Yes", "folder gone at commit b1", "File 5"}
            << "Save: note.txt exists, do you want to overwrite this file? | Save: Error. Unable to Save note.txt | windows: Untitled1, note.txt* | note.txt=new old";
        const QString russian = "Съешь же ещё этих мягких французских булок";
        const QString in1251 = shownBytes(QStringEncoder("windows-1251")(russian)), inUtf8 = shownBytes(russian.toUtf8());
        QTest::newRow("a windows-1251 file found") << QStringList {"encoded windows-1251 ru.txt=" + russian, "dialog ru.txt", "File 1", "show"}
                                                   << "shows " + russian + " in windows-1251 | windows: Untitled1, ru.txt | ru.txt=" + in1251 + " | recent: ru.txt";
        QTest::newRow("a windows-1252 file read as windows-1251") << QStringList {"file note.txt=caf\u00E9", "dialog note.txt [windows-1251]", "File 1", "show"}
                                                                  << "shows caf\u0439 in windows-1251 | windows: Untitled1, note.txt | note.txt=caf\\xE9 | recent: note.txt";
        QTest::newRow("the encoding a recent file was opened in, again")
            << QStringList {"file note.txt=caf\u00E9", "file other.txt=x", "dialog note.txt [windows-1251]", "File 1", "dialog other.txt", "File 1",
                            "File 12", "show", "recent", "File 1", "show", "File 12", "show"}
            << "shows caf\u0439 in windows-1251 | shows caf\u0439 in windows-1251 | shows x in UTF-8 | windows: Untitled1, note.txt, other.txt, note.txt, note.txt, "
               "other.txt | note.txt=caf\\xE9 | other.txt=x | recent: other.txt, note.txt";
        QTest::newRow("a windows-1251 file saved as UTF-8 with two backups")
            << QStringList {"encoded windows-1251 ru.txt=" + russian, "open ru.txt", "look", "File 5", "file b1/", "file b2/", "dialog work/ru.txt + b1 b2 [UTF-8]", "File 5", "show"}
            << "proposed ru.txt in windows-1251 | shows " + russian + " in UTF-8 | windows: Untitled1, work/ru.txt; b1/ru.txt; b2/ru.txt | b1/ru.txt=" + inUtf8
                   + " | b2/ru.txt=" + inUtf8 + " | ru.txt=" + in1251 + " | work/ru.txt=" + inUtf8 + " | recent: work/ru.txt";
        QTest::newRow("a character the encoding chosen lacks, not saved") << QStringList {"file note.txt=caf\u00E9", "open note.txt", "No", "dialog copy.txt [windows-1251]", "File 5", "show"}
                                                                          << QString(asUtf8).replace("note.txt", "copy.txt")
                                                                                 + " | shows caf\u00E9 in windows-1252 | windows: Untitled1, note.txt | note.txt=caf\\xE9 | dialog stayed";
        QTest::newRow("a file that cannot be opened") << QStringList {"dialog gone.txt", "File 1", "File 0"}
                                                      << "Open: Error. Can't open file: gone.txt | windows: Untitled1, Untitled2 | recent: gone.txt";
        QTest::newRow("a file named like a list of copies") << QStringList {"file a; b.txt=old", "open a; b.txt", "type new ", "File 4"}
                                                            << "windows: Untitled1, a; b.txt | a; b.txt=new old | recent: a; b.txt";
        QTest::newRow("a save that fails, then closing")
            << QStringList {"file going/note.txt=kept", "open going/note.txt", "type x", "gone going", "file going=in the way", "File 4", "Yes", "close"}
            << "Save: Error. Unable to Save going/note.txt | going/note.txt: Text in [going/note.txt] has been modified.\r\nDo you want to save the changes? "
               "| Save: Error. Unable to Save going/note.txt | windows: Untitled1, going/note.txt* | going=in the way";
        QTest::newRow("a new document saved at the close prompt")
            << QStringList {"type keep me", "Yes", "look", "close", "Yes", "dialog Untitled1", "close"}
            << "Untitled1: Text in [Untitled1] has been modified.\r\nDo you want to save the changes? | Untitled1: Text in [Untitled1] has been "
               "modified.\r\nDo you want to save the changes? | proposed work/Untitled1 in UTF-8 | windows:  | Untitled1.txt=keep me | recent: Untitled1.txt";
        const QStringList withBackups {"file b1/", "file b2/", "type first", "dialog work/main.txt + b1 b2", "File 4"};
        QTest::newRow("saving with two backups, then again") << withBackups + QStringList {"type  second", "File 4"}
                                                             << "windows: work/main.txt; b1/main.txt; b2/main.txt | b1/main.txt=first second "
                                                                "| b2/main.txt=first second | work/main.txt=first second | recent: work/main.txt";
        QTest::newRow("Save As after saving with backups") << withBackups + QStringList {"look", "File 5"}
                                                           << "proposed work/main.txt in UTF-8 | windows: work/main.txt; b1/main.txt; b2/main.txt "
                                                              "| b1/main.txt=first | b2/main.txt=first | work/main.txt=first | recent: work/main.txt";
        QTest::newRow("the text type adds its extension") << QStringList {"type x", "dialog report", "File 5"}
                                                          << "windows: report.txt | report.txt=x | recent: report.txt";
        QTest::newRow("all files add none") << QStringList {"type x", "dialog report (all files)", "File 5"}
                                            << "windows: report | report=x | recent: report";
        QTest::newRow("a name with a dot gets none") << QStringList {"type x", "dialog notes.old", "File 5"}
                                                     << "windows: notes.old | notes.old=x | recent: notes.old";
        QTest::newRow("a whole path gets it after its last dot") << QStringList {"file o.d/", "type x", "dialog <folder>/o.d/report", "File 5"}
                                                                 << "windows: o.d/report.txt | o.d/report.txt=x | recent: o.d/report.txt";
        const QString clash = "Save: Error. Cannot backup file in the same drive and directory! | windows: Untitled1 | dialog stayed";
        QTest::newRow("a backup beside the file") << QStringList {"dialog same.txt + .", "File 5"} << clash;
        QTest::newRow("two backups in one folder") << QStringList {"file other/", "dialog same.txt + other other", "File 5"} << clash;
        QTest::newRow("a backup where a folder has the name") << QStringList {"file b/same.txt/", "dialog same.txt + b", "File 5"}
                                                              << "Save: Error. b/same.txt is a folder, not a file! | windows: Untitled1 | dialog stayed";
        const QStringList existing {"file b1/n.txt=old 1", "file b2/n.txt=old 2", "type new"};
        QTest::newRow("files that exist, not replaced") << existing + QStringList {"No", "dialog n.txt + b1 b2", "File 5"}
                                                        << "Save: b1/n.txt; b2/n.txt exist, do you want to overwrite these files? | windows: Untitled1* "
                                                           "| b1/n.txt=old 1 | b2/n.txt=old 2 | dialog stayed";
        QTest::newRow("a file that exists, replaced") << existing + QStringList {"Yes", "dialog n.txt + b1", "File 5"}
                                                      << "Save: b1/n.txt exists, do you want to overwrite this file? | windows: n.txt; b1/n.txt "
                                                         "| b1/n.txt=new | b2/n.txt=old 2 | n.txt=new | recent: n.txt";
        // Under umask 022; "modes" tells the files' permission bits.
        const QString stat = "other stat -c '%a %n' s.txt b1/s.txt b2/s.txt >> modes";
        QTest::newRow("the backups of a private file are private, saved again too")
            << QStringList {"file s.txt=text", "other chmod 600 s.txt", "open s.txt", "type new ", "file b1/", "file b2/", "Yes",
                            "dialog s.txt + b1 b2", "File 5", stat, "other chmod 644 b1/s.txt", "type again ", "File 4", stat}
            << "Save: s.txt exists, do you want to overwrite this file? | windows: Untitled1, s.txt; b1/s.txt; b2/s.txt "
               "| b1/s.txt=new again text | b2/s.txt=new again text | modes=600 s.txt\\n600 b1/s.txt\\n600 b2/s.txt\\n"
               "600 s.txt\\n600 b1/s.txt\\n600 b2/s.txt\\n | s.txt=new again text | recent: s.txt";
        QTest::newRow("backups replaced take their file's bits")
            << QStringList {"file s.txt=text", "file b1/s.txt=old", "file b2/s.txt=old", "other chmod 640 s.txt && chmod 666 b1/s.txt && chmod 600 b2/s.txt",
                            "open s.txt", "Yes", "dialog s.txt + b1 b2", "File 5", stat}
            << "Save: s.txt; b1/s.txt; b2/s.txt exist, do you want to overwrite these files? | windows: Untitled1, s.txt; b1/s.txt; b2/s.txt "
               "| b1/s.txt=text | b2/s.txt=text | modes=640 s.txt\\n640 b1/s.txt\\n640 b2/s.txt\\n | s.txt=text | recent: s.txt";
        QTest::newRow("a new file takes the umask's bits, and its backups too")
            << QStringList {"file b1/s.txt=old", "other chmod 600 b1/s.txt", "type text", "Yes", "dialog s.txt + b1", "File 5", "other stat -c '%a %n' s.txt b1/s.txt > modes"}
            << "Save: b1/s.txt exists, do you want to overwrite this file? | windows: s.txt; b1/s.txt | b1/s.txt=text "
               "| modes=644 s.txt\\n644 b1/s.txt\\n | s.txt=text | recent: s.txt";
        // A folder nobody can create files in, whoever runs the test.
        QTest::newRow("a backup that cannot be written") << QStringList {"type text", "dialog main.txt + /proc", "File 5"}
                                                         << "Save: Error. Unable to Save main.txt | windows: main.txt* | main.txt=text";
        QTest::newRow("a main file that cannot be written") << QStringList {"file keep/", "type text", "dialog /proc/other.txt + keep", "File 5"}
                                                            << "Save: Error. Unable to Save other.txt | windows: Untitled1*";
    }

    void fileCommandsSaveWhatTheUserAsksAndNothingElse()
    {
        QFETCH(QStringList, steps);
        if (steps.join(u' ').contains(QStringLiteral("/proc")) && !QFileInfo(QStringLiteral("/proc")).isDir())
            QSKIP("needs a folder that refuses new files even to the administrator");
#ifdef Q_OS_UNIX
        const mode_t umaskBefore = ::umask(022);
        const auto restoreUmask = qScopeGuard([umaskBefore] { ::umask(umaskBefore); });
#else
        if (steps.join(u' ').contains(QStringLiteral("chmod")))
            QSKIP("permissions are bits on Unix only");
#endif
        QTEST(afterSteps(steps), "outcome");
    }

    void filesNamedOnTheCommandLineOpenEachInAWindowOfItsOwn_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("outcome");
        const QString missing = "Open: Error. Can't open file: missing | windows: ";
        QTest::newRow("two, one missing, one twice") << QStringList {"1", "missing", "2", "2"} << missing + "1, 2, 2 | 1=1 | 2=2 | recent: 2, missing, 1";
        QTest::newRow("only a missing one") << QStringList {"missing"} << missing + "Untitled1 | recent: missing";
    }

    void filesNamedOnTheCommandLineOpenEachInAWindowOfItsOwn()
    {
        QFETCH(QStringList, files);
        for (QString &name : files) {
            QVERIFY(name == QStringLiteral("missing") || writeBytes(fresh().path(name), name.toUtf8()));
            name = pathTo(name);
        }
        Quillo::StartFiles = files;
        QTEST(afterSteps({QStringLiteral("command line")}), "outcome");
        QCOMPARE(Quillo::MainForm->activeCaption(), files.size() > 1 ? files.last() : QStringLiteral("Untitled1"));
    }

    void filesDroppedOnTheFrameOpenEachInAWindowOfItsOwnAndTextDroppedOnADocumentIsTyped_data()
    {
        QTest::addColumn<QStringList>("steps"); // as afterSteps() takes them
        QTest::addColumn<QString>("outcome");
        const QStringList twoFiles {"file a.txt=A", "file b.txt=B"};
        QTest::newRow("two files on a document's text") << twoFiles + QStringList {"drop text a.txt b.txt", "show"}
                                                        << "shows B in UTF-8 | windows: Untitled1, a.txt, b.txt | a.txt=A | b.txt=B | recent: b.txt, a.txt";
        QTest::newRow("a folder and a file around the documents") << QStringList {"file a.txt=A", "file sub/", "drop frame sub a.txt"}
                                                                  << "windows: Untitled1, a.txt | a.txt=A | recent: a.txt";
        QTest::newRow("a folder alone") << QStringList {"file sub/", "drop frame sub"} << "drop refused | windows: Untitled1";
        QTest::newRow("a web address around the documents") << QStringList {"drop frame http://example.org/a.txt"} << "drop refused | windows: Untitled1";
        QTest::newRow("a web address on a document's text") << QStringList {"drop text http://example.org/a.txt", "show"}
                                                            << "shows http://example.org/a.txt in UTF-8 | windows: Untitled1*";
        QTest::newRow("text on a document's text") << QStringList {"drop text =dropped", "show"} << "shows dropped in UTF-8 | windows: Untitled1*";
    }

    void filesDroppedOnTheFrameOpenEachInAWindowOfItsOwnAndTextDroppedOnADocumentIsTyped()
    {
        QFETCH(QStringList, steps);
        QTEST(afterSteps(steps), "outcome");
    }

    void theOpenDialogOpensTheRecentLineChosenOrTheFileTypedNeverAnother_data()
    {
        QTest::addColumn<QString>("typed"); // into "File name:" from the recent tab; <typed> is the typed file's path
        QTest::addColumn<bool>("altN");     // reached by Alt+N, else by a click
        QTest::addColumn<QString>("opened");
        QTest::newRow("Enter on the recent tab") << "" << false << "recent.txt";
        QTest::newRow("a whole path after Alt+N") << "<typed>" << true << "typed.txt";
        QTest::newRow("a name after a click") << "typed.txt" << false << "typed.txt";
    }

    void theOpenDialogOpensTheRecentLineChosenOrTheFileTypedNeverAnother()
    {
        QFETCH(QString, typed);
        QFETCH(bool, altN);
        frmMainNote &frame = loadedFrame();
        const QString path = pathTo(QStringLiteral("recent.txt"));
        QVERIFY(writeBytes(path, "r") && writeBytes(pathTo(QStringLiteral("typed.txt")), "t"));
        QDir::setCurrent(fresh().folder());
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
            QWidget *keys = typed.isEmpty() ? static_cast<QWidget *>(open.List1) : open.Filename;
            if (altN) {
                open.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&open));
                QTest::keyClick(&open, Qt::Key_N, Qt::AltModifier);
                QVERIFY(open.Filename->hasFocus());
            } else if (!typed.isEmpty()) {
                QTest::mouseClick(open.Filename, Qt::LeftButton);
            }
            QTest::keyClicks(keys, QString(typed).replace(QStringLiteral("<typed>"), pathTo(QStringLiteral("typed.txt"))));
            QTest::keyClick(keys, Qt::Key_Return);
        });
        frame.mnuFile1[1]->trigger();
        QVERIFY(stayedOpen);
        QTEST(QFileInfo(frame.activeCaption()).fileName(), "opened");
        QVERIFY(MenuFile::SelectedFile.isEmpty());
    }

    void theTypePatternDecidesWhichFilesAreListedAndCancelOpensNothing()
    {
        frmMainNote &frame = loadedFrame();
        QVERIFY(writeBytes(pathTo(QStringLiteral("a.txt")), "") && writeBytes(pathTo(QStringLiteral("b.log")), ""));
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &open = static_cast<frmOpenDlg &>(dialog);
            QCOMPARE(open.SSTab1->currentIndex(), 1);
            (void)open.dirList->setPath(fresh().folder());
            QCOMPARE(open.filList->count(), 1);
            open.Filetype->setCurrentIndex(0);
            QCOMPARE(open.filList->count(), 2);
            QTest::mouseClick(open.filList->viewport(), Qt::LeftButton, {}, open.filList->visualItemRect(open.filList->item(1)).center());
            QCOMPARE(open.Filename->text(), QStringLiteral("b.log"));
            open.cmdCancel->click();
        });
        frame.mnuFile1[1]->trigger();
        QCOMPARE(frame.activeCaption(), QStringLiteral("Untitled1"));
        QVERIFY(!frame.mnuFile1[11]->isVisible() && MenuFile::SelectedFile.isEmpty());
    }

    void aSaveCutShortIsReportedAtStartWithWhereItsOldTextIs()
    {
        loadedFrame();
        Quillo::ReportInterruptedSaves();
        QCOMPARE(said(), QStringList());
        // What a save in place leaves when the program is killed during it.
        QDir().mkpath(recoveryFolder());
        const QString copy = QDir(recoveryFolder()).filePath(QStringLiteral("notes 2026-12-06 10.00.00.txt"));
        QVERIFY(writeBytes(copy, "old text") && writeBytes(copy + QStringLiteral(".note"), fresh().path(QStringLiteral("notes.txt")).toUtf8()));
        Quillo::ReportInterruptedSaves();
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        const QString text = TestSeam::shownMessages().at(0).text;
        QVERIFY2(text.startsWith(QStringLiteral("Error. A save was cut short: ")), qPrintable(text));
        QVERIFY2(text.contains(pathTo(QStringLiteral("notes.txt"))) && text.contains(QDir::toNativeSeparators(copy)), qPrintable(text));
    }
};

QUILLORY_SUITE(FileCommandsTest)
#include "tst_filecommands.moc"
