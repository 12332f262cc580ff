#include "document/draft.h"
#include "platform/richtextbox.h"
#include "programsuite.h"

#include <QProcess>

// Another program changes, replaces or deletes a file that is open.
class OtherProgramsTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void eachChangeByAnotherProgramIsToldOnceAndNoTextIsLostUnasked_data()
    {
        QTest::addColumn<QStringList>("steps"); // as afterSteps() takes them
        QTest::addColumn<QString>("outcome");
        const QString changed = "a.txt: The file [a.txt] has been changed by another program.\r\n";
        const QString reload = changed + "Do you want to reload it?", reloadLosing = changed + "Do you want to reload it and lose your unsaved changes?";
        // A text read from its file loses what was not typed when the file is written over in place.
        const QString gone = RichTextBox::keptInFileFrom() == 0 ? "The parts of the text that were read from it are gone: reload it, or keep what you typed by copying it out first.\r\n" : "";
        const QString deleted = "a.txt: Error. The file [a.txt] has been deleted by another program.";
        const QString overwrite = "Save: The file [a.txt] has been changed by another program since it was opened or saved.\r\nDo you want to overwrite it?";
        const QStringList open {"file a.txt=one\ntwo\n", "open a.txt"};
        QTest::newRow("rewritten, reloaded with the caret on its line")
            << open + QStringList {"key Down", "Yes", "other printf 'ONE\\r\\nTWO\\r\\nTHREE' > a.txt", "wait", "type >", "File 4"}
            << changed + gone + "Do you want to reload it? | windows: Untitled1, a.txt | a.txt=ONE\\r\\n>TWO\\r\\nTHREE | recent: a.txt";
        QTest::newRow("changed under unsaved changes, not asked again, then deleted")
            << open + QStringList {"type mine ", "No", "other printf theirs > a.txt", "wait", "File 0", "activate 2", "other rm a.txt", "wait", "File 4"}
            << reloadLosing + " | " + deleted + " | windows: Untitled1, a.txt, Untitled3 | a.txt=mine one\\ntwo\\n | recent: a.txt";
        QTest::newRow("deleted, then made again") << open + QStringList {"other rm a.txt", "wait", "Yes", "other printf back > a.txt", "wait", "close"}
                                                  << deleted + " | " + reloadLosing + " | windows: Untitled1 | a.txt=back";
        QTest::newRow("replaced by renaming, then changed again")
            << open + QStringList {"No", "other printf new > n && mv n a.txt", "wait", "No", "other printf newer >> a.txt", "wait"}
            << reload + " | " + reload + " | windows: Untitled1, a.txt | a.txt=newnewer";
        QTest::newRow("saved over a change, declined, also when closing")
            << open + QStringList {"type mine ", "other printf theirs > a.txt", "No", "File 4", "Yes", "No", "close"}
            << overwrite + " | " + savePrompt("a.txt") + " | " + overwrite + " | windows: Untitled1, a.txt* | a.txt=theirs";
        // The last two saves write the main file but not the backup.
        const QString backupFailed = "Save: Error. Unable to Save a.txt; b1/a.txt | ";
        QTest::newRow("the program's own saves")
            << open + QStringList {"file b1/", "type x", "File 4", "Yes", "dialog a.txt + b1", "File 5", "type y", "gone b1", "file b1=in the way",
                                   "File 4", "File 4", "Yes", "other printf theirs > a.txt", "wait"}
            << "Save: a.txt exists, do you want to overwrite this file? | " + backupFailed + backupFailed + "a.txt; b1/" + changed + gone
                   + "Do you want to reload it and lose your unsaved changes?"
                   + " | windows: Untitled1, a.txt; b1/a.txt | a.txt=theirs | b1=in the way | recent: a.txt";
    }

    void eachChangeByAnotherProgramIsToldOnceAndNoTextIsLostUnasked()
    {
        QFETCH(QStringList, steps);
        if (RichTextBox::keptInFileFrom() == 0 && QTest::currentDataTag() == QLatin1String("changed under unsaved changes, not asked again, then deleted"))
            QSKIP("a text read from its file cannot be saved once another program wrote over it");
        QTEST(afterSteps(steps), "outcome");
    }

    // A file big enough to be read as it is shown, written over in place by
    // another program while typing is unsaved: the document never shows or
    // saves the other program's bytes, the question says what is lost, and
    // what was typed stays, in the document and in its draft.
    void aFileWrittenOverUnderUnsavedTypingIsNeverMixedIn()
    {
        frmMainNote &frame = loadedFrame();
        const QByteArray ours = QByteArray("our line\n").repeated(std::max<qint64>(RichTextBox::keptInFileFrom(), 4000) / 9 + 1);
        const QString path = fresh().path(QStringLiteral("a.txt"));
        QVERIFY(writeBytes(path, ours));
        MenuFile::OpenFile(path);
        RichTextBox &text = *frame.activeDocument()->Text1;
        QVERIFY(text.store().file());
        QTest::keyClicks(&text, QStringLiteral("typed "));

        QProcess other;
        other.setWorkingDirectory(fresh().folder());
        other.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("tr a-z A-Z < a.txt > t && cat t > a.txt")});
        QVERIFY(other.waitForFinished() && other.exitCode() == 0);
        const QByteArray theirs = readBytes(path);
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        QTRY_COMPARE(said().size(), 1);
        QVERIFY2(said().constFirst().contains(QStringLiteral("The parts of the text that were read from it are gone")), qPrintable(said().constFirst()));
        QVERIFY(text.Text().startsWith(QStringLiteral("typed ")));
        QVERIFY(!text.Text().contains(QStringLiteral("OUR LINE")));

        const QByteArray typed = QByteArray("t\0y\0p\0e\0d\0 \0", 12);
        QTRY_VERIFY(readBytes(frame.activeDocument()->draft().file()).endsWith(typed));
        QVERIFY(!readBytes(frame.activeDocument()->draft().file()).contains("source"));

        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Yes);
        frame.mnuFile1[4]->trigger();
        QCOMPARE(said().mid(1).join(u'|').replace(fresh().folder() + u'/', QString()).split(u'|'), QStringList({"Save: The file [a.txt] has been changed by another program since it was opened or saved.\r\nDo you want to overwrite it?",
                                             "Save: Error. a.txt was changed by another program while it was open: the parts of the text read from it are gone."}));
        QCOMPARE(readBytes(path), theirs);
        QVERIFY(Quillo::DocState[frame.activeDocument()->Tag().toInt()].Modified);
    }
};

QUILLORY_SUITE(OtherProgramsTest)
#include "tst_otherprograms.moc"
