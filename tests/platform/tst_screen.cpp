#include "platform/messages.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "platform/testseam.h"
#include "freshsuite.h"
#include "suites.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

class ScreenTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void theHourglassIsSetOnceAndRestoredWhollyByDefault()
    {
        Screen::setMousePointer(MousePointer::Hourglass);
        Screen::setMousePointer(MousePointer::Hourglass);
        QCOMPARE(Screen::mousePointer(), MousePointer::Hourglass);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        Screen::setMousePointer(MousePointer::Default);
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void fontNamesAreListedOnceAndFixedsysIsAlwaysThere()
    {
        QStringList names;
        for (int i = 0; i < Screen::fontCount(); ++i)
            names << Screen::fonts(i);
        QVERIFY(names.contains(QStringLiteral("Fixedsys")));
        QCOMPARE(names.count(QStringLiteral("Fixedsys")), 1);
        QStringList unique = names;
        unique.removeDuplicates();
        QCOMPARE(unique, names);
        QCOMPARE(names, Screen::fontNames(QFontDatabase::families()));
        QCOMPARE(Screen::fonts(-1), QString());
        QCOMPARE(Screen::fonts(Screen::fontCount()), QString());
    }

    void aFamilyIsListedOnceByItsPlainName_data()
    {
        QTest::addColumn<QStringList>("families");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("made by several foundries")
            << QStringList {"Nimbus Sans [urw]", "Nimbus Sans [UKWN]", "Mono", "Nimbus Sans [URW ]"}
            << QStringList {"Fixedsys", "Mono", "Nimbus Sans"};
        QTest::newRow("names differing in case, Fixedsys there")
            << QStringList {"sans", "Sans", "FIXEDSYS"} << QStringList {"FIXEDSYS", "sans", "Sans"};
        QTest::newRow("brackets of the name's own") << QStringList {"Font[1]", "Font [x] Two"}
                                                     << QStringList {"Fixedsys", "Font [x] Two", "Font[1]"};
    }

    void aFamilyIsListedOnceByItsPlainName()
    {
        QFETCH(QStringList, families);
        QTEST(Screen::fontNames(families), "names");
    }

    void fixedsysIsDrawnByTheFixedPitchFontWhereThePlatformLacksIt()
    {
        if (QFontDatabase::families().contains(QStringLiteral("Fixedsys"), Qt::CaseInsensitive))
            QSKIP("this machine has a font called Fixedsys");
        const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        QCOMPARE(Screen::fontFamily(QStringLiteral("Fixedsys")), fixed);
        QCOMPARE(Screen::fontFamily(QStringLiteral("DejaVu Serif")), QStringLiteral("DejaVu Serif"));
    }

    void messagesReachOnlyControlsThatUnderstandThem()
    {
        QLineEdit line;
        line.setText(QStringLiteral("typed"));
        QCOMPARE(SendMessageA(&line, EM_CANUNDO), 0);
        QCOMPARE(SendMessageA(&line, EM_UNDO), 0);
        QCOMPARE(line.text(), QStringLiteral("typed"));
        QCOMPARE(SendMessageA(nullptr, EM_CANUNDO), 0);

        RichTextBox box;
        QTest::keyClicks(&box, QStringLiteral("x"));
        QVERIFY(SendMessageA(box.hwnd(), EM_CANUNDO) != 0);
        QCOMPARE(SendMessageA(box.hwnd(), 0x0C /* a message it does not know */), 0);
    }

    void eachTestHasItsOwnFoldersAndPerUserStore()
    {
        QString settingsFile;
        QString folder;
        {
            FreshProgramState inner;
            folder = inner.folder();
            QCOMPARE(QDir::homePath(), inner.homeFolder());
            QVERIFY(QDir::currentPath().startsWith(inner.folder()));
            QSettings store;
            store.setValue(QStringLiteral("Recent Files/RecentFile1"), QStringLiteral("/a.txt"));
            store.sync();
            settingsFile = store.fileName();
            QVERIFY2(settingsFile.startsWith(inner.settingsFolder()), qPrintable(settingsFile));
            Screen::setMousePointer(MousePointer::Hourglass);
            TestSeam::queueMessageBoxAnswer(6);
        }
        QVERIFY(!QDir(folder).exists());
        QCOMPARE(QDir::homePath(), fresh().homeFolder());
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
        QVERIFY(!TestSeam::enabled());
    }
};

QUILLORY_SUITE(ScreenTest)
#include "tst_screen.moc"
