#include "printing/cprintwrap.h"
#include "recordingsurface.h"
#include "freshsuite.h"
#include "suites.h"

#include <QDate>
#include <QLocale>
#include <QTest>

// Every character is 100 twips wide and every line 200 high; the page is
// 12240 wide, so with the default margins a line runs from 720 to the right
// limit 11520 and holds 108 characters, and body lines start at 1440.

namespace {

// "page x,y text" for each text printed, in order.
QString entry(const RecordingSurface::Printed &p)
{
    return QStringLiteral("%1 %2,%3 %4").arg(p.page).arg(p.x).arg(p.y).arg(p.text);
}

QStringList entries(const QList<RecordingSurface::Printed> &printed)
{
    QStringList all;
    for (const auto &p : printed)
        all << entry(p);
    return all;
}

// What was printed in the body of the pages, without header and footer.
QStringList body(const RecordingSurface &surface, const CPrintWrap &engine)
{
    return entries(surface.between(engine.MarginTop(), surface.height - engine.MarginBottom()));
}

QString today()
{
    return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QString repeated(QChar c, int count)
{
    return QString(count, c);
}

} // namespace

class PrintPagesTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void anEmptyTextGivesOnePageWithHeaderAndFooterOnly()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        QCOMPARE(engine.PrintText(QString()).number, 0);
        // "Quillory 98" centred on the width and in the top margin; the date
        // from the left margin and the number ending on the right limit, both
        // halfway into the bottom margin.
        QCOMPARE(entries(surface.printed),
                 (QStringList {"1 5570,620 Quillory 98", "1 720,15120 " + today(), "1 10920,15120 Page 1"}));
        QCOMPARE(surface.newPages, 0);
        QCOMPARE(surface.jobsEnded, 1);
        QCOMPARE(surface.jobsAborted, 0);
    }

    void headerAndFooterFollowTheMargins()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        engine.setHeaderText(QStringLiteral("Quillory - notes.txt"));
        engine.setMarginLeft(1000);
        engine.setMarginTop(2000);
        engine.setMarginRight(1500);
        engine.setMarginBottom(1000);
        engine.PrintText(QStringLiteral("a"));
        QCOMPARE(entries(surface.printed),
                 (QStringList {"1 5120,900 Quillory - notes.txt", "1 1000,15340 " + today(), "1 10140,15340 Page 1",
                               "1 1000,2000 a"}));
    }

    void aLineEndExactlyOnTheBottomLimitStaysOnThePage()
    {
        RecordingSurface surface;
        // The bottom limit 2440 is where the sixth line starts.
        surface.height = 1440 + 5 * 200 + 1440;
        CPrintWrap engine(surface);
        engine.PrintText(QStringLiteral("1\n2\n3\n4\n5\n6\n7"));
        QCOMPARE(entries(surface.printed),
                 (QStringList {"1 5570,620 Quillory 98", "1 720,3160 " + today(), "1 10920,3160 Page 1",
                               "1 720,1440 1", "1 720,1640 2", "1 720,1840 3", "1 720,2040 4", "1 720,2240 5",
                               "1 720,2440 6",
                               // The next page's header and footer come before its first line.
                               "2 5570,620 Quillory 98", "2 720,3160 " + today(), "2 10920,3160 Page 2",
                               "2 720,1440 7"}));
        QCOMPARE(surface.newPages, 1);
    }

    void aPageBeginsOnlyForVisibleTextStillToCome_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("newPages");
        QTest::addColumn<QString>("last");
        // Six lines fill a page.
        QTest::newRow("a last line end below the limit") << "1\n2\n3\n4\n5\n6\n" << 0 << "1 720,2440 6";
        QTest::newRow("blanks and line ends after it") << "1\n2\n3\n4\n5\n6\r\n\r\n \t\n" << 0 << "1 720,2440 6";
        QTest::newRow("a blank line before more text") << "1\n2\n3\n4\n5\n6\n\nx" << 1 << "2 720,1640 x";
    }

    void aPageBeginsOnlyForVisibleTextStillToCome()
    {
        QFETCH(QString, text);
        QFETCH(int, newPages);
        QFETCH(QString, last);
        RecordingSurface surface;
        surface.height = 1440 + 5 * 200 + 1440;
        CPrintWrap engine(surface);
        engine.PrintText(text);
        QCOMPARE(surface.newPages, newPages);
        QCOMPARE(entry(surface.printed.last()), last);
    }

    void everyCallIsAJobOfItsOwnStartingAtPageOne()
    {
        RecordingSurface surface;
        surface.height = 1440 + 1440; // one line a page
        CPrintWrap engine(surface);
        const QString before = today();
        engine.PrintText(QStringLiteral("a\nb\nc"));
        engine.PrintText(QStringLiteral("d\ne"));
        const QString after = today();
        QStringList footers;
        for (const auto &p : surface.printed) {
            if (p.y == 2160 && p.x == 720)
                QVERIFY2(p.text == before || p.text == after, qPrintable(p.text));
            if (p.y == 2160 && p.x > 720)
                footers << QStringLiteral("%1:%2").arg(p.job).arg(p.text);
        }
        QCOMPARE(footers, (QStringList {"0:Page 1", "0:Page 2", "0:Page 3", "1:Page 1", "1:Page 2"}));
        QCOMPARE(surface.jobsEnded, 2);
    }

    // Beyond 32767 characters and 32767 pages nothing is lost or numbered
    // wrongly.
    void aTextOfAnyLengthPrintsCompletelyOnAnyNumberOfPages()
    {
        RecordingSurface surface;
        surface.height = 1440 + 1440;
        CPrintWrap engine(surface);
        const int lines = 40000;
        QString text;
        for (int line = 1; line <= lines; ++line)
            text += QStringLiteral("w%1\n").arg(line);
        QVERIFY(text.size() > 200000);
        QCOMPARE(engine.PrintText(text).number, 0);

        const auto printed = surface.between(1440, 1440);
        QCOMPARE(printed.size(), lines);
        for (int line = 1; line <= lines; ++line) {
            const auto &p = printed.at(line - 1);
            QCOMPARE(p.text, QStringLiteral("w%1").arg(line));
            QCOMPARE(p.page, qint64(line));
        }
        QCOMPARE(surface.newPages, lines - 1);
    }
};

class PrintLinesTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void aWordEndingExactlyOnTheRightLimitStays()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        engine.PrintText(repeated(u'a', 50) + u' ' + repeated(u'b', 57) + QStringLiteral(" c"));
        QCOMPARE(body(surface, engine),
                 (QStringList {"1 720,1440 " + repeated(u'a', 50), "1 5720,1440  ", "1 5820,1440 " + repeated(u'b', 57),
                               "1 11520,1440  ", "1 720,1640 c"}));
    }

    void oneTwipMoreMovesTheWordToTheNextLine()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        engine.setMarginRight(721);
        engine.PrintText(repeated(u'a', 50) + u' ' + repeated(u'b', 57));
        QCOMPARE(body(surface, engine),
                 (QStringList {"1 720,1440 " + repeated(u'a', 50), "1 5720,1440  ", "1 720,1640 " + repeated(u'b', 57)}));
    }

    void trailingSpacesRunPastTheLimitAndNeverStartALine()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        engine.PrintText(repeated(u'a', 108) + QStringLiteral("   b"));
        QCOMPARE(body(surface, engine),
                 (QStringList {"1 720,1440 " + repeated(u'a', 108), "1 11520,1440  ", "1 11620,1440  ",
                               "1 11720,1440  ", "1 720,1640 b"}));
    }

    void lineEndsComeFromLineFeedsOnly()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        // Leading blanks print no word; CR LF ends one line, a lone CR none,
        // and two pairs in a row leave one empty line.
        engine.PrintText(QStringLiteral(" a\r\nb\rc\n\r\nd\x01" "e"));
        QCOMPARE(body(surface, engine),
                 (QStringList {"1 720,1440  ", "1 820,1440 a", "1 720,1640 b", "1 820,1640 c", "1 720,2040 d",
                               "1 820,2040 e"}));
    }

    void tabsMoveToStopsEveryTenZerosFrom720_data()
    {
        QTest::addColumn<double>("marginLeft");
        QTest::addColumn<double>("zeroWidth");
        QTest::addColumn<QString>("before");
        QTest::addColumn<double>("x");

        QTest::newRow("on a stop moves to the next") << 720.0 << 100.0 << QString() << 1720.0;
        QTest::newRow("between stops") << 720.0 << 100.0 << QStringLiteral("abc") << 1720.0;
        QTest::newRow("on the second stop") << 720.0 << 100.0 << repeated(u'a', 10) << 2720.0;
        QTest::newRow("stops stay when the margin moves") << 1440.0 << 100.0 << QString() << 1720.0;
        QTest::newRow("stops stay left of the margin") << 0.0 << 100.0 << QString() << 1720.0;
        // With "0" 200 wide, positions half a zero apart.
        QTest::newRow("a zero before a stop goes to it") << 720.0 << 200.0 << repeated(u'a', 18) << 2720.0;
        QTest::newRow("half a zero before a stop counts as on it") << 720.0 << 200.0 << repeated(u'a', 19) << 4720.0;
    }

    void tabsMoveToStopsEveryTenZerosFrom720()
    {
        QFETCH(double, marginLeft);
        QFETCH(double, zeroWidth);
        QFETCH(QString, before);
        QFETCH(double, x);
        RecordingSurface surface;
        surface.zeroWidth = zeroWidth;
        CPrintWrap engine(surface);
        engine.setMarginLeft(marginLeft);
        engine.PrintText(before + QStringLiteral("\tX"));
        const auto printed = body(surface, engine);
        QCOMPARE(printed.last(), QStringLiteral("1 %1,1440 X").arg(x));
    }

    void aTabNeverWraps()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        engine.PrintText(repeated(u'a', 105) + QStringLiteral("\t\tb"));
        QCOMPARE(body(surface, engine), (QStringList {"1 720,1440 " + repeated(u'a', 105), "1 720,1640 b"}));
    }
};

class PrintLongWordsTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void aLongWordIsCutIntoPiecesThatFillLinesWithoutPassingTheLimit_data()
    {
        QTest::addColumn<double>("marginRight");
        QTest::addColumn<int>("perLine");
        QTest::newRow("pieces end on the limit") << 720.0 << 108;
        QTest::newRow("the unit passing the limit starts the next line") << 770.0 << 107;
    }

    void aLongWordIsCutIntoPiecesThatFillLinesWithoutPassingTheLimit()
    {
        QFETCH(double, marginRight);
        QFETCH(int, perLine);
        RecordingSurface surface;
        CPrintWrap engine(surface);
        engine.setMarginRight(marginRight);
        engine.PrintText(repeated(u'x', 2 * perLine + 34) + QStringLiteral(" z"));
        // The last piece continues its line.
        QCOMPARE(body(surface, engine),
                 (QStringList {"1 720,1440 " + repeated(u'x', perLine), "1 720,1640 " + repeated(u'x', perLine),
                               "1 720,1840 " + repeated(u'x', 34), "1 4120,1840  ", "1 4220,1840 z"}));
    }

    void aLongWordAfterTextStartsANewLineFromTheLeftMargin()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        engine.PrintText(QStringLiteral("abc ") + repeated(u'x', 120));
        QCOMPARE(body(surface, engine),
                 (QStringList {"1 720,1440 abc", "1 1020,1440  ", "1 720,1640 " + repeated(u'x', 108),
                               "1 720,1840 " + repeated(u'x', 12)}));
    }

    void aLongWordOnALineWithoutTextStartsThereFromTheLeftMargin()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        engine.PrintText(QStringLiteral("\t") + repeated(u'x', 120));
        QCOMPARE(body(surface, engine),
                 (QStringList {"1 720,1440 " + repeated(u'x', 108), "1 720,1640 " + repeated(u'x', 12)}));
    }

    // An accented letter of the 8-bit code page keeps the letter after it on
    // its line; a character outside the basic plane is never cut in two.
    void somePairsOfCharactersAreNeverCutApart()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        const QString clef = QString::fromUcs4(U"\U0001D11E");
        engine.PrintText(repeated(u'a', 107) + QStringLiteral("\u00e9b") + repeated(u'c', 105) + clef + QStringLiteral("d"));
        QCOMPARE(body(surface, engine),
                 (QStringList {"1 720,1440 " + repeated(u'a', 107), "1 720,1640 \u00e9b" + repeated(u'c', 105),
                               "1 720,1840 " + clef + "d"}));
    }

    // Margins leaving no room for a single character still print every
    // character, one a line.
    void marginsWithoutRoomForOneCharacterPrintOneALine()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        engine.setMarginRight(12240 - 770);
        engine.PrintText(QStringLiteral("abc de"));
        QCOMPARE(body(surface, engine),
                 (QStringList {"1 720,1440 a", "1 720,1640 b", "1 720,1840 c", "1 820,1840  ", "1 720,2040 d",
                               "1 720,2240 e"}));

        RecordingSurface beyond;
        CPrintWrap past(beyond);
        past.setMarginLeft(13000);
        past.PrintText(QStringLiteral("xy"));
        QCOMPARE(body(beyond, past), (QStringList {"1 13000,1440 x", "1 13000,1640 y"}));
    }
};

class PrintFailureTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void thePointerIsAnHourglassWhilePrintingOnly()
    {
        RecordingSurface surface;
        CPrintWrap engine(surface);
        QCOMPARE(engine.PrintText(QStringLiteral("a b")).description, QString());
        for (const auto &p : surface.printed)
            QCOMPARE(p.pointer, MousePointer::Hourglass);
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
    }

    void aFailingOperationStopsAndAbortsTheJob_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("printed");

        // The text fills three pages of one line each.
        const QStringList page1 {"Quillory 98", today(), "Page 1", "one", " ", "two", " "};
        const QStringList page2 {"Quillory 98", today(), "Page 2", repeated(u'x', 108)};
        const QStringList page3 {"Quillory 98", today(), "Page 3", repeated(u'x', 12)};
        QTest::newRow("printing the header") << "Print" << "Quillory 98" << QStringList();
        QTest::newRow("printing a word") << "Print" << "two" << page1.mid(0, 5);
        QTest::newRow("printing a piece") << "Print" << repeated(u'x', 108) << page1 + page2.mid(0, 3);
        QTest::newRow("ending a line") << "EndLine" << "" << page1;
        QTest::newRow("starting a page") << "NewPage" << "" << page1;
        QTest::newRow("ending the job") << "EndDoc" << "" << page1 + page2 + page3;
    }

    void aFailingOperationStopsAndAbortsTheJob()
    {
        QFETCH(QString, operation);
        QFETCH(QString, text);
        QFETCH(QStringList, printed);
        RecordingSurface surface;
        surface.height = 1440 + 1440;
        surface.failure = [&](const QString &op, const QString &t) {
            return op == operation && (text.isEmpty() || t == text)
                       ? Error::make(ErrorNumber::DeviceIOError, QStringLiteral("the printer went away"))
                       : Error::none();
        };
        CPrintWrap engine(surface);
        const Error error = engine.PrintText(QStringLiteral("one two ") + repeated(u'x', 120));
        QCOMPARE(error.number, ErrorNumber::DeviceIOError);
        QCOMPARE(error.description, QStringLiteral("Device I/O error: the printer went away"));
        QStringList texts;
        for (const auto &p : surface.printed)
            texts << p.text;
        QCOMPARE(texts, printed);
        QCOMPARE(surface.jobsAborted, 1);
        QCOMPARE(surface.jobsEnded, 0);
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
    }
};

QUILLORY_SUITE(PrintPagesTest)
QUILLORY_SUITE(PrintLinesTest)
QUILLORY_SUITE(PrintLongWordsTest)
QUILLORY_SUITE(PrintFailureTest)
#include "tst_cprintwrap.moc"
