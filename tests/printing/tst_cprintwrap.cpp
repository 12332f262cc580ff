#include "printing/cprintwrap.h"
#include "recordingsurface.h"
#include "freshsuite.h"
#include "suites.h"

#include <QGuiApplication>
#include <QtTest>

// Every character is 100 twips wide and every line 200 high; with the default
// margins a line runs from 720 to the right limit 11520 and body lines start
// at 1440. Tab stops lie every ten widths of "0" from 720.

namespace {

// Sets the page and the engine from "chars=5 lines=2 left=0 zero=200 ...":
// chars and lines give a page that holds that many, with the default margins.
void setUp(const QString &settings, RecordingSurface &surface, CPrintWrap &engine)
{
    const QHash<QString, std::function<void(float)>> set {
        {"chars", [&](float n) { surface.width = 1440 + n * surface.charWidth; }},
        {"lines", [&](float n) { surface.height = 2880 + (n - 1) * surface.lineHeight; }},
        {"zero", [&](float n) { surface.zeroWidth = n; }},
        {"left", [&](float n) { engine.setMarginLeft(n); }},
        {"top", [&](float n) { engine.setMarginTop(n); }},
        {"right", [&](float n) { engine.setMarginRight(n); }},
        {"bottom", [&](float n) { engine.setMarginBottom(n); }},
    };
    for (const QString &setting : settings.split(u' ', Qt::SkipEmptyParts)) {
        QVERIFY2(set.contains(setting.section(u'=', 0, 0)), qPrintable(setting));
        set[setting.section(u'=', 0, 0)](setting.section(u'=', 1).toFloat());
    }
}

QString today()
{
    return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
}

// "page x,y text" for each text printed in the body of the pages, or in
// their margins (header and footer, the date shown as <date>).
QStringList entries(const RecordingSurface &surface, const CPrintWrap &engine, bool body)
{
    QStringList all;
    for (const auto &p : surface.printed) {
        if ((p.y >= engine.MarginTop() && p.y <= surface.height - engine.MarginBottom()) == body)
            all << QStringLiteral("%1 %2,%3 %4").arg(p.page).arg(p.x).arg(p.y).arg(p.text == today() ? "<date>" : p.text);
    }
    return all;
}

// What each printed page holds, "x,y text" in printing order, by the number
// the page has in the whole printout: the job began with page first.
QList<QStringList> pagesFrom(const RecordingSurface &surface, qint64 first = 1)
{
    QList<QStringList> pages;
    for (const auto &p : surface.printed) {
        const qint64 index = first + p.page - 2;
        while (pages.size() <= index)
            pages.append(QStringList());
        pages[index] << QStringLiteral("%1,%2 %3").arg(p.x).arg(p.y).arg(p.text == today() ? "<date>" : p.text);
    }
    return pages;
}

// Words, long words broken across lines and pages, accented letters, tabs,
// blanks and line ends, the same for the same seed.
QString mixedText(quint32 seed, int words)
{
    QRandomGenerator random(seed);
    QString text;
    for (int w = 0; w < words; ++w) {
        const int length = 1 + int(random.bounded(random.bounded(8) == 0 ? 40 : 6));
        for (int c = 0; c < length; ++c)
            text += random.bounded(10) == 0 ? QChar(0xe0 + random.bounded(20)) : QChar(u'a' + random.bounded(26));
        const char *separators[] = {" ", " ", " ", "  ", "\t", "\r\n", "\n\n", " \n\t"};
        text += QLatin1String(separators[random.bounded(8)]);
    }
    return text;
}

} // namespace

class PrintWrapTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void aTextGivesThesePages_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("printed"); // in the body of the pages unless said

        // The header centred in the top margin; the date from the left margin
        // and the number ending on the right limit, halfway into the bottom one.
        QTest::newRow("an empty text gives one page with header and footer") << "" << ""
            << QStringList {"in the margins:", "1 5570,620 Quillory 98", "1 720,15120 <date>", "1 10920,15120 Page 1"};
        QTest::newRow("header and footer follow the margins") << "left=1000 top=2000 right=1500 bottom=1000" << "a"
            << QStringList {"in the margins:", "1 5570,900 Quillory 98", "1 1000,15340 <date>", "1 10140,15340 Page 1"};
        QTest::newRow("every page has them, the last included") << "lines=1" << "a\nb"
            << QStringList {"in the margins:", "1 5570,620 Quillory 98", "1 720,2160 <date>", "1 10920,2160 Page 1",
                            "2 5570,620 Quillory 98", "2 720,2160 <date>", "2 10920,2160 Page 2"};

        QTest::newRow("a line end on the bottom limit keeps the next line on the page") << "lines=2" << "a\nb\nc"
            << QStringList {"1 720,1440 a", "1 720,1640 b", "2 720,1440 c"};
        QTest::newRow("blanks and line ends after the last word begin no page") << "lines=1" << "a\r\n\r\n \t\n"
            << QStringList {"1 720,1440 a"};
        QTest::newRow("a blank line before more text stays") << "lines=2" << "a\nb\n\nc"
            << QStringList {"1 720,1440 a", "1 720,1640 b", "2 720,1640 c"};
        QTest::newRow("lines end on LF alone, other control characters print nothing") << ""
            << " a\r\nb\rc\n\r\nd\x01" "e"
            << QStringList {"1 720,1440  ", "1 820,1440 a", "1 720,1640 b", "1 820,1640 c", "1 720,2040 d", "1 820,2040 e"};
        QTest::newRow("a word ending on the right limit stays on its line") << "chars=5" << "ab cd e"
            << QStringList {"1 720,1440 ab", "1 920,1440  ", "1 1020,1440 cd", "1 1220,1440  ", "1 720,1640 e"};
        QTest::newRow("a twip further it goes to the next line") << "chars=5 right=721" << "ab cd"
            << QStringList {"1 720,1440 ab", "1 920,1440  ", "1 720,1640 cd"};
        QTest::newRow("blanks run past the limit and never begin a line") << "chars=5" << "abcde   f"
            << QStringList {"1 720,1440 abcde", "1 1220,1440  ", "1 1320,1440  ", "1 1420,1440  ", "1 720,1640 f"};

        QTest::newRow("a tab on a stop goes to the next") << "" << "\tX" << QStringList {"1 1720,1440 X"};
        QTest::newRow("a tab between stops") << "" << "abc\tX" << QStringList {"1 720,1440 abc", "1 1720,1440 X"};
        QTest::newRow("a tab on the second stop") << "" << "abcdefghij\tX"
            << QStringList {"1 720,1440 abcdefghij", "1 2720,1440 X"};
        QTest::newRow("tab stops stay when the margin moves") << "left=1440" << "\tX" << QStringList {"1 1720,1440 X"};
        QTest::newRow("tab stops stay left of the margin") << "left=0" << "\tX" << QStringList {"1 1720,1440 X"};
        QTest::newRow("a tab a whole zero before a stop goes to it") << "zero=200" << "abcdefghijklmnopqr\tX"
            << QStringList {"1 720,1440 abcdefghijklmnopqr", "1 2720,1440 X"};
        QTest::newRow("a tab half a zero before a stop counts as on it") << "zero=200" << "abcdefghijklmnopqrs\tX"
            << QStringList {"1 720,1440 abcdefghijklmnopqrs", "1 4720,1440 X"};
        QTest::newRow("a tab never wraps, the next word does") << "chars=10" << "abcdefgh\t\tb"
            << QStringList {"1 720,1440 abcdefgh", "1 720,1640 b"};

        QTest::newRow("a long word is cut into pieces ending on the limit, the rest goes on") << "chars=5"
            << "abcdefghijkl m"
            << QStringList {"1 720,1440 abcde", "1 720,1640 fghij", "1 720,1840 kl", "1 920,1840  ", "1 1020,1840 m"};
        QTest::newRow("the character passing the limit begins the next piece") << "chars=5 right=770" << "abcdefghij m"
            << QStringList {"1 720,1440 abcd", "1 720,1640 efgh", "1 720,1840 ij", "1 920,1840  ", "1 1020,1840 m"};
        QTest::newRow("a long word after text begins a line of its own") << "chars=5" << "ab cdefghij"
            << QStringList {"1 720,1440 ab", "1 920,1440  ", "1 720,1640 cdefg", "1 720,1840 hij"};
        QTest::newRow("a long word after a tab begins at the left margin of that line") << "chars=5" << "\tabcdefgh"
            << QStringList {"1 720,1440 abcde", "1 720,1640 fgh"};
        QTest::newRow("an accented letter keeps the next with it, a surrogate pair stays whole") << "chars=5"
            << QStringLiteral("abcd\u00e9fgh\U0001D11Ei")
            << QStringList {"1 720,1440 abcd", QStringLiteral("1 720,1640 \u00e9fgh"),
                            QStringLiteral("1 720,1840 \U0001D11Ei")};
        QTest::newRow("margins without room for a character print one a line") << "chars=0.5" << "abc de"
            << QStringList {"1 720,1440 a", "1 720,1640 b", "1 720,1840 c", "1 820,1840  ", "1 720,2040 d", "1 720,2240 e"};
        // Beyond 32767 characters and 32767 pages nothing is lost or numbered
        // wrongly.
        QString manyLines;
        QStringList onManyPages;
        for (int line = 1; line <= 40000; ++line) {
            manyLines += QStringLiteral("w%1\n").arg(line);
            onManyPages << QStringLiteral("%1 720,1440 w%1").arg(line);
        }
        QTest::newRow("a text of any length on any number of pages") << "lines=1" << manyLines << onManyPages;
        QTest::newRow("a left margin past the page prints on it") << "left=13000" << "xy"
            << QStringList {"1 13000,1440 x", "1 13000,1640 y"};
    }

    void aTextGivesThesePages()
    {
        QFETCH(QString, settings);
        QFETCH(QString, text);
        QFETCH(QStringList, printed);
        const bool margins = printed.value(0) == u"in the margins:";
        if (margins)
            printed.removeFirst();
        RecordingSurface surface;
        CPrintWrap engine(surface);
        setUp(settings, surface, engine);
        QCOMPARE(engine.PrintText(text).number, 0);
        QCOMPARE(entries(surface, engine, !margins), printed);
        // No page, the first included, holds nothing but header and footer.
        QCOMPARE(QString::number(surface.newPages + 1), printed.last().section(u' ', 0, 0));
        QCOMPARE(surface.jobsEnded, 1);
        for (const auto &p : surface.printed)
            QCOMPARE(p.pointer, MousePointer::Hourglass);
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    // Ten pages of three lines, broken after words, at line ends and inside
    // long words.
    void aRangeOfPagesPrintsThosePagesAsTheWholePrintoutHasThem_data()
    {
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("last");
        QTest::addColumn<qint64>("printed");
        QTest::newRow("pages 3 to 4") << qint64(3) << qint64(4) << qint64(2);
        QTest::newRow("the last page alone") << qint64(10) << qint64(10) << qint64(1);
        QTest::newRow("past the end, the pages there are") << qint64(9) << qint64(40) << qint64(2);
        QTest::newRow("from 0, from the first") << qint64(0) << qint64(2) << qint64(2);
        QTest::newRow("to 0, to the end") << qint64(8) << qint64(0) << qint64(3);
        QTest::newRow("beyond the last page, nothing") << qint64(11) << qint64(12) << qint64(0);
    }

    void aRangeOfPagesPrintsThosePagesAsTheWholePrintoutHasThem()
    {
        QFETCH(qint64, first);
        QFETCH(qint64, last);
        QFETCH(qint64, printed);
        const QString text = QStringLiteral("ab cd ef gh\nij\tkl mnopqrstuvwxyzabcdefghijklmnopqrstuvw xy z\r\n\r\n"
                                            "a b c d e f g h i j k l m n o p q r s t uvwxyzabcdefghij k\nlast\n1\n2\n3");
        RecordingSurface whole;
        CPrintWrap engine(whole);
        setUp(QStringLiteral("chars=5 lines=3"), whole, engine);
        QCOMPARE(engine.PrintText(text).number, 0);
        const QList<QStringList> all = pagesFrom(whole);
        QCOMPARE(all.size(), 10);

        RecordingSurface part;
        CPrintWrap ranged(part);
        setUp(QStringLiteral("chars=5 lines=3"), part, ranged);
        ranged.setPageRange(first, last);
        QCOMPARE(ranged.PrintText(text).number, 0);
        QCOMPARE(ranged.PagesPrinted(), printed);
        const qint64 from = std::max<qint64>(first, 1);
        QCOMPARE(pagesFrom(part, from).mid(from - 1), all.mid(from - 1, printed));
        QCOMPARE(part.jobsEnded, printed > 0 ? 1 : 0);
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
    }

    // A layout tells where each page begins; printing from there gives the
    // page the whole printout has. Both read the text a few characters at a
    // time, as a document kept in its file is read.
    void everyPageALayoutFindsPrintsAsInTheWholePrintout()
    {
        for (quint32 seed = 1; seed <= 20; ++seed) {
            const QString whole = mixedText(seed, 400) + QStringLiteral(" \t\r\n  ");
            const PrintedText text(whole.size(), [&](qsizetype from, qsizetype count) { return whole.mid(from, count); }, 7);
            RecordingSurface printout;
            CPrintWrap engine(printout);
            setUp(QStringLiteral("chars=12 lines=4"), printout, engine);
            QCOMPARE(engine.PrintText(whole).number, 0);
            const QList<QStringList> all = pagesFrom(printout);

            QList<PageStart> starts {PageStart()};
            const qint64 pages = engine.LayOut(text, PageStart(), [&](const PageStart &start) {
                starts.append(start);
                return true;
            });
            QCOMPARE(pages, qint64(all.size()));
            for (const PageStart &start : starts) {
                RecordingSurface one;
                CPrintWrap again(one);
                setUp(QStringLiteral("chars=12 lines=4"), one, again);
                QCOMPARE(again.PrintPages(text, start, start.page).number, 0);
                QVERIFY2(pagesFrom(one, start.page).value(start.page - 1) == all.at(start.page - 1),
                         qPrintable(QStringLiteral("seed %1 page %2").arg(seed).arg(start.page)));
            }
        }
    }

    void aFailingOperationStopsAndGivesUpTheJob_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("printed");
        // One line a page: "ab cd " on the first, the long word's pieces on
        // the second and third.
        const QStringList page1 {"Quillory 98", "<date>", "Page 1", "ab", " ", "cd", " "};
        const QStringList page2 {"Quillory 98", "<date>", "Page 2", "efghi"};
        QTest::newRow("printing the header") << "Print" << "Quillory 98" << QStringList();
        QTest::newRow("printing a word") << "Print" << "cd" << page1.mid(0, 5);
        QTest::newRow("printing a piece") << "Print" << "efghi" << page1 + page2.mid(0, 3);
        QTest::newRow("ending a line") << "EndLine" << "" << page1;
        QTest::newRow("starting a page") << "NewPage" << "" << page1;
        QTest::newRow("ending the job") << "EndDoc" << ""
            << page1 + page2 + QStringList {"Quillory 98", "<date>", "Page 3", "jk"};
    }

    void aFailingOperationStopsAndGivesUpTheJob()
    {
        QFETCH(QString, operation);
        QFETCH(QString, text);
        RecordingSurface surface;
        surface.fails = [&](const QString &op, const QString &t) {
            return op == operation && (text.isEmpty() || t == text);
        };
        CPrintWrap engine(surface);
        setUp(QStringLiteral("chars=5 lines=1"), surface, engine);
        const Error error = engine.PrintText(QStringLiteral("ab cd efghijk"));
        QCOMPARE(error.description, QStringLiteral("Device I/O error: the printer went away"));
        QStringList texts;
        for (const auto &p : surface.printed)
            texts << (p.text == today() ? QStringLiteral("<date>") : p.text);
        QTEST(texts, "printed");
        QCOMPARE(surface.jobsAborted, 1);
        QCOMPARE(surface.jobsEnded, 0);
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
    }
};

QUILLORY_SUITE(PrintWrapTest)
#include "tst_cprintwrap.moc"
