#include "programsuite.h"
#include "shell/frmbackground.h"
#include "shell/frmsplash.h"

#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QStyle>

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

    void aNewWindowNeverLandsWhereAnOpenOneStands_data()
    {
        // "new" (Ctrl+N), "open NAME" (Ctrl+O), "click SLOT" into its text, "close" (Ctrl+F4)
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("places"); // of the open windows, as they were opened, a title bar apart
        QTest::newRow("New three times") << QStringList {"new", "new", "new"} << "Untitled1 0, Untitled2 1, Untitled3 2, Untitled4 3";
        QTest::newRow("a file opened three times") << QStringList {"open a.txt", "open a.txt", "open a.txt"}
                                                   << "Untitled1 0, a.txt 1, a.txt 2, a.txt 3";
        // The places follow the window opened last, not the one used last.
        QTest::newRow("New after a click into the first") << QStringList {"new", "click 1", "new"} << "Untitled1 0, Untitled2 1, Untitled3 2";
        QTest::newRow("a file again after a click into its first window")
            << QStringList {"open a.txt", "open a.txt", "click 2", "open a.txt"} << "Untitled1 0, a.txt 1, a.txt 2, a.txt 3";
        QTest::newRow("after the one opened last, not into a gap") << QStringList {"new", "new", "click 2", "close", "click 1", "new"}
                                                                   << "Untitled1 0, Untitled3 2, Untitled2 3";
        // Five places fit in the area; round its end the first free one is taken.
        QTest::newRow("round the end to a place left free") << QStringList {"new", "new", "new", "new", "click 3", "close", "new"}
                                                            << "Untitled1 0, Untitled2 1, Untitled4 3, Untitled5 4, Untitled3 2";
        QTest::newRow("every place taken") << QStringList {"new", "new", "new", "new", "new"}
                                           << "Untitled1 0, Untitled2 1, Untitled3 2, Untitled4 3, Untitled5 4, Untitled6 0";
    }

    void aNewWindowNeverLandsWhereAnOpenOneStands()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, places);
        QVERIFY(writeBytes(pathTo(QStringLiteral("a.txt")), "a"));
        frmMainNote &frame = activeFrame();
        const auto press = [&frame](QKeyCombination key) {
            // What the window system does when a dialog has gone.
            frame.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&frame));
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        };
        for (const QString &step : steps) {
            const QString rest = step.section(u' ', 1);
            if (step == QStringLiteral("new")) {
                press(Qt::CTRL | Qt::Key_N);
            } else if (step == QStringLiteral("close")) {
                press(Qt::CTRL | Qt::Key_F4);
            } else if (step.startsWith(QStringLiteral("click"))) {
                QTest::mouseClick(text(rest.toInt())->viewport(), Qt::LeftButton);
            } else {
                TestSeam::queueModalAction([this, rest](QDialog &dialog) {
                    auto &open = static_cast<frmOpenDlg &>(dialog);
                    open.SSTab1->setCurrentIndex(1);
                    (void)open.dirList->setPath(fresh().folder());
                    QTest::keyClicks(open.Filename, rest);
                    QTest::keyClick(open.Filename, Qt::Key_Return);
                });
                press(Qt::CTRL | Qt::Key_O);
            }
        }
        QStringList seen;
        for (const QMdiSubWindow *window : frame.mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
            const int step = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
            const QPoint at = window->pos();
            seen << QFileInfo(static_cast<const frmNotePad *>(window)->Caption()).fileName() + u' '
                        + (at.x() == at.y() && at.x() % step == 0 ? QString::number(at.x() / step)
                                                                  : QStringLiteral("%1,%2").arg(at.x()).arg(at.y()));
        }
        QCOMPARE(seen.join(QStringLiteral(", ")), places);
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
            QCOMPARE(frame.mnuFile1[7]->isEnabled() || frame.mnuEdit1[15]->isEnabled() || frame.Toolbar1->Buttons[5]->isEnabled()
                         || frame.cboFont->isEnabled(), !empty);
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
