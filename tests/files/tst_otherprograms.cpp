#include "platform/richtextbox.h"
#include "programsuite.h"

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
};

QUILLORY_SUITE(OtherProgramsTest)
#include "tst_otherprograms.moc"
