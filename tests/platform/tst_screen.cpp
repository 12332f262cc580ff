#include "platform/messages.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "freshsuite.h"
#include "suites.h"

#include <QtTest>
#include <QtWidgets>

class ScreenTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void theHourglassIsSetOnceAndRestoredWhollyByDefault()
    {
        Screen::setMousePointer(MousePointer::Hourglass);
        Screen::setMousePointer(MousePointer::Hourglass);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        Screen::setMousePointer(MousePointer::Default);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    // The system's families, each once, with Fixedsys drawn by the fixed-pitch
    // font where the system has none of that name.
    void fontNamesAreTheSystemsWithFixedsysAlwaysThere()
    {
        QStringList names;
        for (int i = 0; i <= Screen::fontCount(); ++i)
            names << Screen::fonts(i);
        QCOMPARE(names.takeLast(), QString());
        QCOMPARE(names, Screen::fontNames(QFontDatabase::families()));
        QCOMPARE(names.count(QStringLiteral("Fixedsys")), 1);
        if (QFontDatabase::families().contains(QStringLiteral("Fixedsys"), Qt::CaseInsensitive))
            QSKIP("this machine has a font called Fixedsys");
        const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        QCOMPARE(Screen::fontFamily(QStringLiteral("Fixedsys")), fixed);
        QCOMPARE(Screen::fontFamily(QStringLiteral("DejaVu Serif")), QStringLiteral("DejaVu Serif"));
    }

    void aFamilyIsListedOnceByItsPlainNameInAnyCaseOrder_data()
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

    void aFamilyIsListedOnceByItsPlainNameInAnyCaseOrder()
    {
        QFETCH(QStringList, families);
        QTEST(Screen::fontNames(families), "names");
    }

    // A control that does not understand a message answers 0 and is left
    // as it was.
    void messagesReachOnlyControlsThatUnderstandThem()
    {
        QLineEdit line(QStringLiteral("typed"));
        QCOMPARE(SendMessageA(&line, EM_UNDO), 0);
        QCOMPARE(line.text(), QStringLiteral("typed"));
        QCOMPARE(SendMessageA(nullptr, EM_CANUNDO), 0);
        RichTextBox box;
        QCOMPARE(SendMessageA(box.hwnd(), 0x0C), 0);
    }
};

QUILLORY_SUITE(ScreenTest)
#include "tst_screen.moc"
