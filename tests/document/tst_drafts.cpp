#include "document/draft.h"
#include "platform/richtextbox.h"
#include "programsuite.h"

#include <QProcess>
#include <QScopeGuard>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

class DraftsTest : public ProgramSuite
{
    Q_OBJECT

private:
    static void type(RichTextBox *text, const QString &keys)
    {
        for (const QChar c : keys) {
            if (c == u'\n')
                QTest::keyClick(text, Qt::Key_Return);
            else
                QTest::sendKeyEvent(QTest::Click, text, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    QString draftsFolder() const { return fresh().path(QStringLiteral("data/Tallowmere/Quillory/drafts")); }

#ifdef Q_OS_UNIX
    static QString modeOf(const QString &path)
    {
        struct stat status {};
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? QString::number(status.st_mode & 07777, 8)
                                                                          : QStringLiteral("missing");
    }
#endif

private slots:
    // Run as a program of its own by the test below, which kills it.
    void childTypesIntoTwoDocumentsAndWaitsToBeKilled()
    {
        const QByteArray file = qgetenv("QUILLORY_DRAFT_CHILD");
        if (file.isEmpty())
            QSKIP("only run as the child of theUnsavedTextOfAKilledRunComesBackAndSavesTheSameBytes");
        qputenv("XDG_DATA_HOME", qgetenv("QUILLORY_DRAFT_DATA"));
        Drafts::PauseMs = 200;
        loadedFrame();
        type(text(1), QStringLiteral("abc\nd\u00E9f"));
        MenuFile::OpenFile(QFile::decodeName(file));
        QTest::keyClick(text(2), Qt::Key_End, Qt::ControlModifier);
        type(text(2), QStringLiteral("\u00F1"));
        QTRY_VERIFY(QFile::exists(document(1)->draft().file()) && QFile::exists(document(2)->draft().file()));
        QTRY_VERIFY(!document(1)->draft().isWriting() && !document(2)->draft().isWriting());
        printf("ready\n");
        fflush(stdout);
        QTest::qWait(120000);
    }

    void theUnsavedTextOfAKilledRunComesBackAndSavesTheSameBytes()
    {
        const QByteArray original("caf\xE9\r\nline two\r\n");
        QVERIFY(writeBytes(pathTo(QStringLiteral("old.txt")), original));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUILLORY_SUITE"), QStringLiteral("DraftsTest"));
        environment.insert(QStringLiteral("QUILLORY_DRAFT_CHILD"), pathTo(QStringLiteral("old.txt")));
        environment.insert(QStringLiteral("QUILLORY_DRAFT_DATA"), fresh().path(QStringLiteral("data")));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("childTypesIntoTwoDocumentsAndWaitsToBeKilled")});
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += child.readAllStandardOutput()).contains("ready\n"), 30000);

        // While the other program runs, its drafts are its own.
        loadedFrame();
        Quillo::RestoreDrafts();
        QCOMPARE(said(), QStringList());

        child.kill();
        QVERIFY(child.waitForFinished());
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Yes);
        Quillo::RestoreDrafts();
        QCOMPARE(said(), QStringList {QStringLiteral("Restore: 2 documents had unsaved changes when the program last ended. "
                                                     "Do you want to restore them?")});
        QCOMPARE(document(1)->Caption(), QStringLiteral("Untitled1"));
        QCOMPARE(text(1)->Text(), QStringLiteral("abc\r\nd\u00E9f"));
        QCOMPARE(document(2)->Caption(), pathTo(QStringLiteral("old.txt")));
        QCOMPARE(text(2)->Text(), QStringLiteral("caf\u00E9\r\nline two\r\n\u00F1"));
        QVERIFY(Quillo::DocState[1].Modified && Quillo::DocState[2].Modified);
        QCOMPARE(readBytes(pathTo(QStringLiteral("old.txt"))), original);

        MenuFile::SaveDocument(*document(2), document(2)->Caption());
        QCOMPARE(readBytes(pathTo(QStringLiteral("old.txt"))), original + "\xF1");
        QVERIFY(!QFile::exists(document(2)->draft().file()));
        QVERIFY(QFile::exists(document(1)->draft().file()));
    }

    void draftsThatCannotBeReadAreNamedAndLeftAndNoDeletesTheOthers()
    {
        Drafts::PauseMs = 10;
        activeFrame();
        type(text(1), QStringLiteral("kept"));
        QTRY_VERIFY(QFile::exists(document(1)->draft().file()));
        QTRY_VERIFY(!document(1)->draft().isWriting());
        // Two runs that ended without closing their documents.
        QDir(draftsFolder()).mkpath(QStringLiteral("dead/"));
        QDir(draftsFolder()).mkpath(QStringLiteral("broken/"));
        QVERIFY(QFile::copy(document(1)->draft().file(), draftsFolder() + QStringLiteral("/dead/1.draft")));
        const QString broken = QDir::toNativeSeparators(draftsFolder() + QStringLiteral("/broken/3.draft"));
        QVERIFY(writeBytes(broken, "QUILLORY-DRAFT 1\n{\"caption\": 3}\n"));

        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        Quillo::RestoreDrafts();
        QCOMPARE(said(), (QStringList {QStringLiteral("Restore: Error. Unable to read the unsaved text kept in ") + broken
                                           + QStringLiteral(". It is left where it is."),
                                       QStringLiteral("Restore: 1 document had unsaved changes when the program last ended. "
                                                      "Do you want to restore it?")}));
        QVERIFY(!QFileInfo::exists(draftsFolder() + QStringLiteral("/dead")));
        QVERIFY(QFile::exists(broken));
        // This run's own draft is not offered, and stays.
        QVERIFY(QFile::exists(document(1)->draft().file()));
    }

    void aRestoredDocumentKeepsItsNameUnlessAnOpenWindowHasIt_data()
    {
        QTest::addColumn<QStringList>("left"); // the names of documents that ended runs left, one run each
        QTest::addColumn<bool>("typed");       // into the start's own Untitled1
        QTest::addColumn<QString>("windows");  // after the restore and File > New; * the changed ones
        QTest::newRow("a name no window has") << QStringList {"Untitled10"} << false << "Untitled1 Untitled10*";
        QTest::newRow("the name of a window open") << QStringList {"Untitled1"} << true << "Untitled1* Untitled2* Untitled3";
        QTest::newRow("one name twice") << QStringList {"Untitled3", "Untitled3"} << false << "Untitled1* Untitled2 Untitled3*";
        QTest::newRow("no name the program gives") << QStringList {"Untitled07"} << false << "Untitled1* Untitled2";
    }

    void aRestoredDocumentKeepsItsNameUnlessAnOpenWindowHasIt()
    {
        QFETCH(QStringList, left);
        QFETCH(bool, typed);
        activeFrame();
        if (typed)
            type(text(1), QStringLiteral("mine"));
        for (int run = 0; run < left.size(); ++run) {
            const QString folder = draftsFolder() + QStringLiteral("/run%1/").arg(run);
            QDir().mkpath(folder);
            const QByteArray record = "{\"caption\":\"" + left[run].toUtf8()
                                      + "\",\"paths\":[],\"encoding\":\"UTF-8\",\"byteOrderMark\":false,\"lineEnd\":\"lf\"}\n";
            QVERIFY(writeBytes(folder + QStringLiteral("1.draft"), "QUILLORY-DRAFT 1\n" + record + QByteArray("h\0i\0", 4)));
        }
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Yes);
        Quillo::RestoreDrafts();
        MenuFile::FileNew();
        QStringList windows;
        for (int slot = 1; slot < Quillo::DocState.size(); ++slot) {
            if (!Quillo::DocState[slot].Free && document(slot) && document(slot)->isLoaded())
                windows << document(slot)->Caption() + (Quillo::DocState[slot].Modified ? QStringLiteral("*") : QString());
        }
        QTEST(windows.join(u' '), "windows");
    }

    // A draft of a text read from its file holds only what was added to it;
    // once that file has changed, the draft is named and left.
    void aDraftOfATextKeptInItsFileNeedsThatFileUnchanged()
    {
        if (RichTextBox::keptInFileFrom() > 0)
            QSKIP("this run reads files whole");
        Drafts::PauseMs = 10;
        const QByteArray lines = QByteArray("a line of the file\r\n").repeated(200);
        QVERIFY(writeBytes(pathTo(QStringLiteral("kept.txt")), lines));
        activeFrame();
        MenuFile::OpenFile(pathTo(QStringLiteral("kept.txt")));
        QTest::keyClick(text(2), Qt::Key_End, Qt::ControlModifier);
        type(text(2), QStringLiteral("added"));
        QTRY_VERIFY(QFile::exists(document(2)->draft().file()));
        QTRY_VERIFY(!document(2)->draft().isWriting());
        QVERIFY(QFileInfo(document(2)->draft().file()).size() < lines.size());
        QDir(draftsFolder()).mkpath(QStringLiteral("dead/"));
        const QString left = QDir::toNativeSeparators(draftsFolder() + QStringLiteral("/dead/2.draft"));
        QVERIFY(QFile::copy(document(2)->draft().file(), left));
        QVERIFY(writeBytes(pathTo(QStringLiteral("kept.txt")), lines + "changed"));

        Quillo::RestoreDrafts();
        QCOMPARE(said(), QStringList {QStringLiteral("Restore: Error. Unable to read the unsaved text kept in ") + left
                                      + QStringLiteral(". It is left where it is.")});
        QVERIFY(QFile::exists(left));
    }

#ifdef Q_OS_UNIX
    void theUnsavedTextOfAPrivateFileIsItsOwnersAlone_data()
    {
        QTest::addColumn<QString>("left"); // what an earlier run left in the drafts folder
        QTest::addColumn<QString>("modes");
        const QString own = "drafts 700 | run 700: 2.draft 600, run.lock 600";
        QTest::newRow("nothing") << "" << own;
        QTest::newRow("its folder open to others") << "folder" << own;
        QTest::newRow("a draft open to others, restored")
            << "draft" << "drafts 700 | run 700: 1.draft 600, run.lock 600 | drafts 700 | run 700: 1.draft 600, 2.draft 600, run.lock 600";
    }

    void theUnsavedTextOfAPrivateFileIsItsOwnersAlone()
    {
        QFETCH(QString, left);
        QFETCH(QString, modes);
        const mode_t umaskBefore = ::umask(022);
        const auto restoreUmask = qScopeGuard([umaskBefore] { ::umask(umaskBefore); });
        Drafts::PauseMs = 10;
        const QString secret = pathTo(QStringLiteral("secret.txt"));
        QVERIFY(writeBytes(secret, "private") && QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner));
        if (!left.isEmpty()) {
            QVERIFY(QDir().mkpath(draftsFolder() + QStringLiteral("/dead")));
            QCOMPARE(::chmod(QFile::encodeName(draftsFolder()).constData(), 0755), 0);
        }
        if (left == u"draft") {
            QVERIFY(writeBytes(draftsFolder() + QStringLiteral("/dead/1.draft"),
                               QByteArray("QUILLORY-DRAFT 1\n{\"caption\":\"Untitled1\",\"encoding\":\"UTF-8\",\"lineEnd\":\"lf\"}\n")
                                   + QByteArray("o\0l\0d\0", 6)));
            QCOMPARE(modeOf(draftsFolder() + QStringLiteral("/dead/1.draft")), QStringLiteral("644"));
        }
        const auto modesNow = [this] {
            QStringList run;
            for (const QString &name : QDir(Drafts::runFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name))
                run << name + u' ' + modeOf(Drafts::runFolder() + u'/' + name);
            return QStringLiteral("drafts %1 | run %2: ").arg(modeOf(draftsFolder()), modeOf(Drafts::runFolder())) + run.join(QStringLiteral(", "));
        };
        activeFrame();
        QString restored;
        if (left == u"draft") {
            TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Yes);
            Quillo::RestoreDrafts();
            // As it comes back, before it is written again.
            restored = modesNow() + QStringLiteral(" | ");
        }
        MenuFile::OpenFile(secret);
        type(text(2), QStringLiteral("more "));
        QTRY_VERIFY(QFile::exists(document(2)->draft().file()));
        QTRY_VERIFY(!document(2)->draft().isWriting());
        QCOMPARE(restored + modesNow(), modes);
    }
#endif

    void savingOrClosingWithoutSavingLeavesNoDraft_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("File > Save") << "";
        QTest::newRow("close, No") << "No";
    }
    void savingOrClosingWithoutSavingLeavesNoDraft()
    {
        QFETCH(QString, answer);
        Drafts::PauseMs = 10;
        QVERIFY(writeBytes(pathTo(QStringLiteral("a.txt")), "text"));
        frmMainNote &frame = activeFrame();
        MenuFile::OpenFile(pathTo(QStringLiteral("a.txt")));
        QTRY_COMPARE(QApplication::focusWidget(), text(2));
        const QString draft = document(2)->draft().file();
        QTest::qWait(50);
        QVERIFY(!QFile::exists(draft));
        type(text(2), QStringLiteral("more "));
        QTRY_VERIFY(QFile::exists(draft));
        if (answer.isEmpty()) {
            QTest::keyClick(text(2), Qt::Key_S, Qt::ControlModifier);
        } else {
            TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
            QTest::keyClick(text(2), Qt::Key_F4, Qt::ControlModifier);
        }
        QTest::qWait(50);
        QVERIFY(!QFile::exists(draft));
        QCOMPARE(readBytes(pathTo(QStringLiteral("a.txt"))), answer.isEmpty() ? "more text" : "text");
        Q_UNUSED(frame);
    }
};

QUILLORY_SUITE(DraftsTest)
#include "tst_drafts.moc"
