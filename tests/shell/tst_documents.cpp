#include "programsuite.h"
#include "shell/frmbackground.h"
#include "shell/frmsplash.h"

#include <QElapsedTimer>

class DocumentWindowTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void closingOrExitingAsksAboutEachChangedDocumentAndCancelKeepsIt_data()
    {
        QTest::addColumn<QStringList>("steps"); // as afterSteps() takes them
        QTest::addColumn<QString>("outcome");
        const auto asked = [](const char *caption) { return savePrompt(QString::fromLatin1(caption)) + QStringLiteral(" | "); };
        QTest::newRow("an unchanged document") << QStringList {"close"} << "windows: ";
        QTest::newRow("a changed one, Cancel") << QStringList {"type hello", "Cancel", "close"} << asked("Untitled1") + "windows: Untitled1*";
        QTest::newRow("a changed one, No") << QStringList {"type hello", "No", "close"} << asked("Untitled1") + "windows: ";
        QTest::newRow("exit without a document") << QStringList {"close", "File 17"} << "windows:  | ended";
        QTest::newRow("exit, the first of three changed") << QStringList {"type a", "File 0", "File 0", "No", "File 17"}
                                                          << asked("Untitled1") + "windows:  | ended";
        QTest::newRow("exit, three changed, No, Cancel")
            << QStringList {"type a", "File 0", "type b", "File 0", "type c", "No", "Cancel", "File 17"}
            << asked("Untitled3") + asked("Untitled2") + "windows: Untitled1*, Untitled2*";
        // A Cancel at one document's own close earlier is no answer to Exit.
        QTest::newRow("exit after a close was cancelled") << QStringList {"File 0", "type t", "Cancel", "close", "activate 1", "No", "File 17"}
                                                          << asked("Untitled2") + asked("Untitled2") + "windows:  | ended";
        QTest::newRow("new ones take the lowest free slot") << QStringList {"File 0", "File 0", "activate 2", "close", "File 0", "File 0"}
                                                            << "windows: Untitled1, Untitled2, Untitled3, Untitled4";
    }

    void closingOrExitingAsksAboutEachChangedDocumentAndCancelKeepsIt()
    {
        QFETCH(QStringList, steps);
        QTEST(afterSteps(steps), "outcome");
    }

    void closingTheLastDocumentEntersEmptyModeAndNewLeavesIt()
    {
        frmMainNote &frame = loadedFrame();
        for (bool empty : {true, false}) {
            empty ? (void)document(1)->close() : MenuFile::FileNew();
            QCOMPARE(Quillo::NoDocuments, empty);
            QCOMPARE(frame.tmrUndo.isActive() && frame.tmrPaste.isActive(), !empty);
            QVERIFY(frame.mnuWindow->menuAction()->isVisible() != empty && frame.mnuWindow2->menuAction()->isVisible() == empty);
            // What needs a document is off; New is not.
            QCOMPARE(frame.mnuFile1[7]->isEnabled() || frame.Toolbar1->Buttons[5]->isEnabled() || frame.cboFont->isEnabled(), !empty);
            QVERIFY(frame.mnuFile1[0]->isEnabled() && frame.Toolbar1->Buttons[1]->isEnabled());
            QCOMPARE(frame.background() != nullptr, empty);
        }
        document(1)->close();
        const int tpp = Screen::twipsPerPixelX();
        QCOMPARE(frame.background()->x(), (frame.ScaleWidth() - frame.background()->Width()) / 2 / tpp);
        QCOMPARE(frame.background()->y(), (frame.ScaleHeight() - frame.background()->Height()) / 2 / tpp);
        QVERIFY(frame.background()->isVisible());
    }
};

class StartupTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void theFrameComesAfterTheSplashHasShownForItsTimeAndTheSplashGoesLast()
    {
        QElapsedTimer clock;
        clock.start();
        Quillo::Main();
        QCOMPARE(Screen::mousePointer(), MousePointer::Hourglass);
        QVERIFY(!Quillo::MainForm);
        frmSplash *splash = nullptr;
        for (QWidget *window : QApplication::topLevelWidgets())
            splash = splash ? splash : qobject_cast<frmSplash *>(window);
        QVERIFY(splash && splash->isVisible());
        QCOMPARE(QDir::currentPath(), QDir(Quillo::GetLongPath(fresh().homeFolder())).path());

        // What was there when the splash went.
        bool loadedBeforeSplashWent = false;
        connect(splash, &QObject::destroyed, this, [&] {
            loadedBeforeSplashWent = Quillo::MainForm && Quillo::MainForm->isVisible() && document(1)
                                     && document(1)->isLoaded() && Screen::mousePointer() == MousePointer::Default;
        });
        QTRY_VERIFY_WITH_TIMEOUT(Quillo::MainForm && Quillo::MainForm->isVisible(), 5000);
        QVERIFY2(clock.elapsed() >= 2500, qPrintable(QString::number(clock.elapsed())));
        QTRY_VERIFY(loadedBeforeSplashWent);
        QCOMPARE(Quillo::MainForm->activeDocument(), document(1));
        QCOMPARE(document(1)->Caption(), QStringLiteral("Untitled1"));

        // The first keys typed go into the document.
        QVERIFY(QTest::qWaitForWindowActive(Quillo::MainForm));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed at once"));
        QCOMPARE(text(1)->Text(), QStringLiteral("typed at once"));
    }

    void theLongPathIsTheFolderAsItIsNamedOrEmptyWhenOneIsMissing_data()
    {
        QTest::addColumn<QString>("path");
        // Beside each name, one that its characters would match as a pattern,
        // or that a listing puts first.
        QTest::addColumn<QStringList>("besides");
        QTest::newRow("plain") << "One/Two" << QStringList {};
        QTest::newRow("missing") << "One/Missing/Three" << QStringList {"One/Two"};
        QTest::newRow("brackets") << "a[1]/In" << QStringList {"a1/In"};
        QTest::newRow("star") << "*/In" << QStringList {"!x/In"};
        QTest::newRow("upper case beside lower") << "Foo/In" << QStringList {"foo/In", "FOO/In"};
    }

    void theLongPathIsTheFolderAsItIsNamedOrEmptyWhenOneIsMissing()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, besides);
        const QDir top(fresh().path(QStringLiteral("Names")));
        const bool missing = path.contains(QStringLiteral("Missing"));
        for (const QString &folder : besides + (missing ? QStringList() : QStringList {path}))
            QVERIFY(top.mkpath(folder));
        if (top.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() < besides.size() + (missing ? 0 : 1))
            QSKIP("this file system does not tell the names apart");
        const QString folder = top.filePath(path);
        QCOMPARE(Quillo::GetLongPath(folder), missing ? QString() : QDir::toNativeSeparators(folder));
    }
};

QUILLORY_SUITE(DocumentWindowTest)
QUILLORY_SUITE(StartupTest)
#include "tst_documents.moc"
