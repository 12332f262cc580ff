#include "editor/textfinder.h"
#include "suites.h"

#include <QLocale>
#include <QTest>

namespace {

constexpr auto Down = SearchDirection::Down;
constexpr auto Up = SearchDirection::Up;
constexpr auto Exact = TextCase::Exact;
constexpr auto UpperCase = TextCase::UpperCase;

struct Search
{
    QString what;
    qsizetype from;
    SearchDirection direction;
    TextCase textCase;
    const char *found; // "start-end" or "none"
};

// Down: the first occurrence that starts at from or after; Up: the last that
// starts at from or before.
void expectFound(const QString &text, const std::vector<Search> &searches)
{
    for (const Search &s : searches) {
        const TextFinder finder(s.what, s.textCase);
        const TextFinder::Hit hit = s.direction == Down ? finder.find(text, s.from, text.size(), Down)
                                                        : finder.find(text, 0, s.from + 1, Up);
        const QString found = hit.found() ? QStringLiteral("%1-%2").arg(hit.start).arg(hit.end) : QStringLiteral("none");
        QVERIFY2(found == QLatin1String(s.found), qPrintable(QStringLiteral("%1 from %2 in %3: %4").arg(s.what).arg(s.from).arg(text, found)));
    }
}

} // namespace

class TextFinding : public QObject
{
    Q_OBJECT

private slots:
    void downFindsTheFirstFromAPositionOnAndUpTheLastUpToIt()
    {
        expectFound(QStringLiteral("abcabc"), {
            {QStringLiteral("abc"), 1, Down, Exact, "3-6"}, {QStringLiteral("abc"), 2, Up, Exact, "0-3"},
            {QStringLiteral("ABC"), 2, Up, UpperCase, "0-3"}, {QStringLiteral("bc"), 2, Down, Exact, "4-6"},
            {QStringLiteral("bc"), 5, Up, Exact, "4-6"}, {QStringLiteral("bcd"), 0, Down, UpperCase, "none"},
            // only an upper-case search finds another case
            {QStringLiteral("bCa"), 0, Down, Exact, "none"}, {QStringLiteral("bCa"), 0, Down, UpperCase, "1-4"},
        });
    }

    void anOccurrenceCoversTheWholeCharactersWhoseUpperCaseHoldsIt()
    {
        expectFound(QStringLiteral("stra\u00DFe \u00DF\u00DF"), {
            {QStringLiteral("ss"), 0, Down, UpperCase, "4-5"}, {QStringLiteral("SE"), 0, Down, UpperCase, "4-6"},
            {QStringLiteral("STRASSE"), 0, Down, UpperCase, "0-6"}, {QStringLiteral("SS"), 0, Down, Exact, "none"},
            // occurrences that start in the same character: Down takes the
            // first in the converted text, Up the last
            {QStringLiteral("SS"), 7, Down, UpperCase, "7-8"}, {QStringLiteral("SS"), 7, Up, UpperCase, "7-9"},
        });
        // U+10428 is DESERET SMALL LETTER LONG I, whose upper case is U+10400.
        expectFound(QStringLiteral("\uFB01ne \u0149o x\U00010428y"), {
            {QStringLiteral("FINE"), 0, Down, UpperCase, "0-3"}, {QStringLiteral("fi"), 0, Down, Exact, "none"},
            {QStringLiteral("NO"), 0, Down, UpperCase, "4-6"}, {QStringLiteral("\U00010400"), 0, Down, UpperCase, "8-10"},
            // from inside the pair, Down has passed its start and Up reaches it
            {QStringLiteral("\U00010400"), 9, Down, UpperCase, "none"}, {QStringLiteral("\U00010400"), 9, Up, UpperCase, "8-10"},
            // exact compares units, so half a pair is found as it is
            {QString(QChar(0xDC28)), 0, Down, Exact, "9-10"},
        });
    }

    void theUserLocaleDecidesTheUpperCase()
    {
        const QLocale previous;
        // In Turkish, i becomes dotted capital I and dotless i plain I.
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        expectFound(QStringLiteral("kilim \u0131s\u0131"), {{QStringLiteral("K\u0130L\u0130M"), 0, Down, UpperCase, "0-5"},
                                                          {QStringLiteral("KILIM"), 0, Down, UpperCase, "none"},
                                                          {QStringLiteral("ISI"), 0, Down, UpperCase, "6-9"}});
        QLocale::setDefault(previous);
        expectFound(QStringLiteral("kilim"), {{QStringLiteral("KILIM"), 0, Down, UpperCase, "0-5"}});
    }
};

QUILLORY_SUITE(TextFinding)
#include "tst_textfinder.moc"
