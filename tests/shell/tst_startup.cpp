#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "programsuite.h"
#include "shell/frmsplash.h"
#include "suites.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

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
        QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(QDir::currentPath(), QDir(Quillo::GetLongPath(fresh().homeFolder())).path());

        // What was there when the splash went.
        qint64 frameShownAt = -1;
        bool loadedBeforeSplashWent = false;
        connect(splash, &QObject::destroyed, this, [&] {
            loadedBeforeSplashWent = Quillo::MainForm && Quillo::MainForm->isVisible() && document(1)
                                     && document(1)->isLoaded()
                                     && Screen::mousePointer() == MousePointer::Default;
        });
        QTRY_VERIFY_WITH_TIMEOUT(Quillo::MainForm && Quillo::MainForm->isVisible(), 5000);
        frameShownAt = clock.elapsed();
        QTRY_VERIFY(loadedBeforeSplashWent);

        QVERIFY2(frameShownAt >= 2500, qPrintable(QString::number(frameShownAt)));
        QCOMPARE(document(1)->Tag(), QStringLiteral("1"));
        QCOMPARE(document(1)->Caption(), QStringLiteral("Untitled1"));
        QCOMPARE(Quillo::MainForm->activeDocument(), document(1));
        QCOMPARE(Quillo::MainForm->windowTitle(), QStringLiteral("Tallowmere Quillory 98/7"));

        // The first keys typed go into the document.
        QVERIFY(QTest::qWaitForWindowActive(Quillo::MainForm));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed at once"));
        QCOMPARE(document(1)->Text1->Text(), QStringLiteral("typed at once"));
    }

    void theLongPathIsWhatTheFoldersHoldOrEmptyWhenOneIsMissing()
    {
        const QString folder = fresh().path(QStringLiteral("One/Two"));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(Quillo::GetLongPath(folder), QDir::toNativeSeparators(folder));
        QCOMPARE(Quillo::GetLongPath(fresh().path(QStringLiteral("One/Missing/Three"))), QString());
    }

    void namesWithWildcardCharactersOrCaseSiblingsAreFoundAsTheFoldersHoldThem_data()
    {
        QTest::addColumn<QString>("path");
        // Beside each name, one that its characters would match as a pattern,
        // or that a listing puts first.
        QTest::addColumn<QStringList>("besides");
        QTest::newRow("brackets") << "a[1]/In" << QStringList {"a1/In"};
        QTest::newRow("star") << "*/In" << QStringList {"!x/In"};
        QTest::newRow("question mark") << "x?y/In" << QStringList {"x!y/In"};
        QTest::newRow("upper case beside lower") << "Foo/In" << QStringList {"foo/In", "FOO/In"};
        QTest::newRow("lower case beside upper") << "foo/In" << QStringList {"Foo/In", "FOO/In"};
    }

    void namesWithWildcardCharactersOrCaseSiblingsAreFoundAsTheFoldersHoldThem()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, besides);
        const QString top = fresh().path(QStringLiteral("Names"));
        for (const QString &folder : besides + QStringList {path})
            QVERIFY(QDir(top).mkpath(folder));
        if (QDir(top).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() <= besides.size())
            QSKIP("this file system does not tell the names apart");
        const QString folder = top + u'/' + path;
        QCOMPARE(Quillo::GetLongPath(folder), QDir::toNativeSeparators(folder));
    }

    void aNameInAnotherCaseIsTheFoldersOwnWhereTheFileSystemIgnoresCaseAndMissingWhereNot()
    {
        const QString top = fresh().path(QStringLiteral("Names"));
        QVERIFY(QDir(top).mkpath(QStringLiteral("Mixed/Inner")));
        const QString asked = top + QStringLiteral("/MIXED/inner");
        if (QFileInfo::exists(asked))
            QCOMPARE(Quillo::GetLongPath(asked), QDir::toNativeSeparators(top + QStringLiteral("/Mixed/Inner")));
        else
            QCOMPARE(Quillo::GetLongPath(asked), QString());
    }

    void slotsAreTakenLowestFirstAndTheTablesGrowByOneWhenNoneIsFree()
    {
        Quillo::Documents = {nullptr, nullptr, nullptr, nullptr};
        Quillo::DocState = QList<Quillo::DocumentState>(4);
        Quillo::DocState[1].Free = true;
        Quillo::DocState[3].Free = true;
        QCOMPARE(Quillo::NewDocumentSlot(), 1);
        QVERIFY(!Quillo::DocState[1].Free);
        QCOMPARE(Quillo::NewDocumentSlot(), 3);
        QCOMPARE(Quillo::NewDocumentSlot(), 4);
        QCOMPARE(Quillo::Documents.size(), 5);
        QCOMPARE(Quillo::DocState.size(), 5);
        QVERIFY(Quillo::AnyDocumentOpen());
        for (Quillo::DocumentState &state : Quillo::DocState)
            state.Free = true;
        QVERIFY(!Quillo::AnyDocumentOpen());
    }
};

QUILLORY_SUITE(StartupTest)
#include "tst_startup.moc"
