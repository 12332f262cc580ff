#include "platform/richtextbox.h"
#include "freshsuite.h"
#include "suites.h"

#include <QFile>
#include <QLocale>
#include <QTest>

#include <map>
#include <vector>

namespace {

constexpr auto Down = SearchDirection::Down;
constexpr auto Up = SearchDirection::Up;
constexpr auto Exact = TextCase::Exact;
constexpr auto UpperCase = TextCase::UpperCase;

QString describe(const TextMatch &match)
{
    return match.found() ? QStringLiteral("%1+%2").arg(match.start).arg(match.length) : QStringLiteral("none");
}

struct Expected
{
    QString what;
    qsizetype from;
    SearchDirection direction;
    TextCase textCase;
    qsizetype start; // -1: none
    qsizetype length = 0;
};

void expectMatches(const RichTextBox &box, const std::vector<Expected> &searches)
{
    for (const Expected &e : searches) {
        const QString found = describe(box.findText(e.what, e.from, e.direction, e.textCase));
        const QString wanted = describe(TextMatch {e.start, e.length});
        QVERIFY2(found == wanted, qPrintable(QStringLiteral("%1 %2 from %3 for \"%4\": found %5, expected %6")
                                                 .arg(e.direction == Down ? "down" : "up", e.textCase == Exact ? "exact" : "upper case")
                                                 .arg(e.from)
                                                 .arg(e.what, found, wanted)));
    }
}

// A text typed in one go.
void expectMatches(const QString &text, const std::vector<Expected> &searches)
{
    RichTextBox box;
    box.setSelText(text);
    expectMatches(box, searches);
}

// Each piece typed at its place in turn, so that the storage holds them
// apart, in the order typed.
void typeInPieces(RichTextBox &box, const std::vector<std::pair<qsizetype, QString>> &pieces)
{
    for (const auto &[at, piece] : pieces) {
        QVERIFY(box.setSelStart(at).ok());
        box.setSelText(piece);
    }
}

bool loadBytes(RichTextBox &box, const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return box.LoadFile(path).ok();
}

// What findText must give, worked out plainly on Text: each character (with
// UpperCase a surrogate pair is one) converted on its own, and each
// occurrence in the converted text mapped back to the characters it covers.
class PlainSearch
{
public:
    PlainSearch(const QString &text, TextCase textCase)
        : m_textCase(textCase)
    {
        forEachCharacter(text, [&](qsizetype at, const QString &converted, qsizetype length) {
            for (const QChar c : converted) {
                m_converted += c;
                m_start.push_back(at);
                m_end.push_back(at + length);
            }
        });
    }

    TextMatch find(const QString &what, qsizetype from, SearchDirection direction) const
    {
        QString wanted;
        forEachCharacter(what, [&](qsizetype, const QString &converted, qsizetype) { wanted += converted; });
        if (wanted.isEmpty())
            return {};
        const auto match = [&](qsizetype k) { return TextMatch {m_start[k], m_end[k + wanted.size() - 1] - m_start[k]}; };
        for (qsizetype k = direction == Down ? m_converted.indexOf(wanted) : m_converted.lastIndexOf(wanted); k >= 0;
             k = direction == Down ? m_converted.indexOf(wanted, k + 1) : k > 0 ? m_converted.lastIndexOf(wanted, k - 1) : -1) {
            if (direction == Down ? m_start[k] >= from : m_start[k] <= from)
                return match(k);
        }
        return {};
    }

private:
    template <typename Each>
    void forEachCharacter(const QString &text, Each &&each) const
    {
        for (qsizetype at = 0; at < text.size();) {
            const bool pair = m_textCase == UpperCase && at + 1 < text.size() && text[at].isHighSurrogate()
                              && text[at + 1].isLowSurrogate();
            const QString character = text.mid(at, pair ? 2 : 1);
            if (m_textCase == UpperCase) {
                const char32_t c = pair ? QChar::surrogateToUcs4(character[0], character[1]) : character[0].unicode();
                auto known = m_upper.find(c);
                if (known == m_upper.end())
                    known = m_upper.emplace(c, QLocale().toUpper(character)).first;
                each(at, known->second, character.size());
            } else {
                each(at, character, 1);
            }
            at += character.size();
        }
    }

    TextCase m_textCase;
    QString m_converted;
    std::vector<qsizetype> m_start; // of the character each converted unit comes from
    std::vector<qsizetype> m_end;
    mutable std::map<char32_t, QString> m_upper;
};

class Random
{
public:
    quint32 below(qsizetype n)
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return quint32((m_state >> 33) % quint64(n));
    }

private:
    quint64 m_state = 20240607;
};

// Letters that change length or case, pairs, and line ends of every kind.
const QStringList pieces = QStringList {
    QStringLiteral("a"), QStringLiteral("S"), QStringLiteral("s"), QStringLiteral("e"), QStringLiteral("E"),
    QStringLiteral("i"), QStringLiteral(" "), QStringLiteral("\u00DF"), QStringLiteral("\uFB01"),
    QStringLiteral("\u0149"), QStringLiteral("\u00E9"), QStringLiteral("\U00010428"), QStringLiteral("\U00010400"),
    QStringLiteral("\U0001F600"), QStringLiteral("\u0130"), QStringLiteral("stra\u00DFe"), QStringLiteral("STRASSE"),
    QStringLiteral("FINE"), QStringLiteral("abcab"), QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r"),
};

QString randomText(Random &random, qsizetype pieceCount)
{
    QString text;
    for (qsizetype n = 0; n < pieceCount; ++n)
        text += pieces[random.below(random.below(3) ? pieces.size() - 3 : pieces.size())];
    return text;
}

// Mostly a stretch of the text, maybe in another case; sometimes pieces
// that may not be there at all.
QString randomWhat(Random &random, const QString &text)
{
    if (text.isEmpty() || random.below(4) == 0)
        return randomText(random, 1 + random.below(3));
    QString what = text.mid(random.below(text.size()), 1 + random.below(random.below(4) ? 8 : 30));
    switch (random.below(4)) {
    case 0:
        return what.toUpper();
    case 1:
        return what.toLower();
    default:
        return what;
    }
}

} // namespace

class TextSearch : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void downFindsTheFirstFromAPositionOnAndUpTheLastUpToIt()
    {
        expectMatches(QStringLiteral("abcabc"), {
            {QStringLiteral("abc"), 0, Down, Exact, 0, 3}, {QStringLiteral("abc"), 1, Down, Exact, 3, 3},
            {QStringLiteral("abc"), 3, Down, Exact, 3, 3}, {QStringLiteral("abc"), 4, Down, Exact, -1},
            {QStringLiteral("abc"), 6, Up, Exact, 3, 3}, {QStringLiteral("abc"), 3, Up, UpperCase, 3, 3},
            {QStringLiteral("abc"), 2, Up, Exact, 0, 3}, {QString(), 0, Down, Exact, -1},
            // from beyond the end, at it, or before the start
            {QStringLiteral("bc"), 6, Down, Exact, -1}, {QStringLiteral("bc"), 1000, Up, Exact, 4, 2},
            {QStringLiteral("c"), 6, Up, UpperCase, 5, 1}, {QStringLiteral("ab"), -3, Down, Exact, 0, 2},
            {QStringLiteral("ab"), -1, Up, Exact, -1}, {QStringLiteral("ab"), -1, Up, UpperCase, -1},
            // an occurrence lies wholly inside the text
            {QStringLiteral("bcd"), 0, Down, Exact, -1}, {QStringLiteral("abcabca"), 0, Down, UpperCase, -1},
            {QStringLiteral("ABCABC\u00DF"), 6, Up, UpperCase, -1},
            // only an upper-case search finds another case
            {QStringLiteral("BCA"), 0, Down, Exact, -1}, {QStringLiteral("bCa"), 0, Down, UpperCase, 1, 3},
        });
    }

    void anUpperCaseSearchFindsASharpSAndSelectsExactlyIt()
    {
        expectMatches(QStringLiteral("stra\u00DFe gro\u00DF \u00DF\u00DF"), {
            {QStringLiteral("SS"), 0, Down, UpperCase, 4, 1}, {QStringLiteral("ss"), 0, Down, UpperCase, 4, 1},
            // either half of its SS finds it
            {QStringLiteral("S"), 1, Down, UpperCase, 4, 1}, {QStringLiteral("SE"), 0, Down, UpperCase, 4, 2},
            {QStringLiteral("ASS"), 0, Down, UpperCase, 3, 2}, {QStringLiteral("STRASSE"), 0, Down, UpperCase, 0, 6},
            {QStringLiteral("Stra\u00DFe"), 0, Down, UpperCase, 0, 6}, {QStringLiteral("SS"), 9, Up, UpperCase, 4, 1},
            {QStringLiteral("SS"), 0, Down, Exact, -1},
            // occurrences that start in the same character: Down takes the
            // first in the converted text, Up the last
            {QStringLiteral("SS"), 12, Down, UpperCase, 12, 1}, {QStringLiteral("SS"), 12, Up, UpperCase, 12, 2},
        });
    }

    void ligaturesLettersThatBecomeTwoAndPairsAreFoundWhole()
    {
        // U+10428 is DESERET SMALL LETTER LONG I, whose upper case is U+10400.
        expectMatches(QStringLiteral("\uFB01ne \u0149o x\U00010428y"), {
            {QStringLiteral("FINE"), 0, Down, UpperCase, 0, 3}, {QStringLiteral("I"), 0, Down, UpperCase, 0, 1},
            {QStringLiteral("fi"), 0, Down, UpperCase, 0, 1}, {QStringLiteral("fi"), 0, Down, Exact, -1},
            {QStringLiteral("NO"), 0, Down, UpperCase, 4, 2}, {QStringLiteral("\u02BCN"), 6, Up, UpperCase, 4, 1},
            {QStringLiteral("\U00010400"), 0, Down, UpperCase, 8, 2}, {QStringLiteral("X\U00010428Y"), 11, Up, UpperCase, 7, 4},
            {QStringLiteral("\U00010400"), 0, Down, Exact, -1}, {QStringLiteral("\U00010428"), 0, Down, Exact, 8, 2},
            // from inside the pair, Down has passed its start and Up reaches it
            {QStringLiteral("\U00010400"), 9, Down, UpperCase, -1}, {QStringLiteral("\U00010400"), 9, Up, UpperCase, 8, 2},
            // exact compares units, so half a pair is found as it is
            {QString(QChar(0xDC28)), 0, Down, Exact, 9, 1},
        });
    }

    void aSearchAcrossALineBreakComparesWithItsCrLf()
    {
        expectMatches(QStringLiteral("ab\ncd\r\nef"), {
            {QStringLiteral("b\r\nc"), 0, Down, Exact, 1, 4}, {QStringLiteral("D\r\nE"), 10, Up, UpperCase, 5, 4},
            {QStringLiteral("\r"), 3, Down, Exact, 6, 1}, {QStringLiteral("\r\n"), 10, Up, Exact, 6, 2},
            // between a CR and its LF only what starts with LF starts
            {QStringLiteral("\ncd"), 3, Down, Exact, 3, 3}, {QStringLiteral("cd"), 3, Down, Exact, 4, 2},
            {QStringLiteral("b"), 3, Up, Exact, 1, 1}, {QStringLiteral("\n"), 3, Up, UpperCase, 3, 1},
        });
    }

    void occurrencesAcrossPiecesStoredApartAreFound()
    {
        RichTextBox box;
        typeInPieces(box, {{0, QStringLiteral("one wor")}, {0, QStringLiteral("zero ")}, {12, QStringLiteral("ld two")}});
        QCOMPARE(box.Text(), QStringLiteral("zero one world two"));
        for (const TextCase textCase : {Exact, UpperCase})
            expectMatches(box, {{QStringLiteral("e world t"), 0, Down, textCase, 7, 9},
                                {QStringLiteral("e world t"), 18, Up, textCase, 7, 9}});

        // A pair whose halves were typed apart is one character.
        RichTextBox pair;
        typeInPieces(pair, {{0, QStringLiteral("ab") + QChar(0xD801)}, {0, QStringLiteral("x")},
                            {4, QChar(0xDC28) + QStringLiteral("cd")}});
        QCOMPARE(pair.Text(), QStringLiteral("xab\U00010428cd"));
        expectMatches(pair, {
            {QStringLiteral("\U00010400"), 0, Down, UpperCase, 3, 2}, {QStringLiteral("B\U00010400C"), 7, Up, UpperCase, 2, 4},
            // converted, the pair is U+D801 U+DC00: its stored low half is
            // not in that, and its high half finds the whole pair
            {QString(QChar(0xDC28)), 0, Down, UpperCase, -1}, {QString(QChar(0xD801)), 0, Down, UpperCase, 3, 2},
            {QString(QChar(0xD801)), 7, Up, UpperCase, 3, 2}, {QString(QChar(0xDC28)), 0, Down, Exact, 4, 1},
        });
        // ...also where the search looks past the end of a piece into the next
        RichTextBox near;
        typeInPieces(near, {{0, QStringLiteral("a\U00010428x")}, {0, QStringLiteral("z")}, {5, QStringLiteral("yy")}});
        expectMatches(near, {{QString(QChar(0xDC28)), 0, Down, UpperCase, -1},
                             {QStringLiteral("\U00010400xY"), 0, Down, UpperCase, 2, 4}});
    }

    void whatTheStorageHoldsBetweenTwoLinesIsNotFound()
    {
        // Here "XY" lies in the storage between "aXYc" and "dXYe", which a
        // line break typed later separates.
        RichTextBox box;
        typeInPieces(box, {{0, QStringLiteral("aXYc")}, {0, QStringLiteral("XY")}, {6, QStringLiteral("dXYe")},
                           {6, QStringLiteral("\r\n")}, {12, QStringLiteral("f cXYd")}});
        QCOMPARE(box.Text(), QStringLiteral("XYaXYc\r\ndXYef cXYd"));
        for (const TextCase textCase : {Exact, UpperCase}) {
            expectMatches(box, {
                {QStringLiteral("cXYd"), 0, Down, textCase, 14, 4}, {QStringLiteral("cXYd"), 13, Up, textCase, -1},
                {QStringLiteral("XYdef"), 0, Down, textCase, -1}, {QStringLiteral("XYdef"), 18, Up, textCase, -1},
                // the real ones on either side in the same stretch of storage
                {QStringLiteral("XY"), 4, Down, textCase, 9, 2}, {QStringLiteral("XY"), 8, Up, textCase, 3, 2},
            });
        }
    }

    void aLoadedFileGivesPositionsThatSelectExactlyTheMatch()
    {
        RichTextBox box;
        QVERIFY(loadBytes(box, fresh().path(QStringLiteral("lines.txt")),
                          "first line\r\nsecond\nthird line here\rfour\xE2\x80\xA9" "five\xEF\xB7\x90last: Stra\xC3\x9F" "e"));
        const QString text = box.Text();
        QCOMPARE(text, QStringLiteral("first line\r\nsecond\r\nthird line here\r\nfour\r\nfive\r\nlast: Stra\u00DFe"));
        for (const auto &[what, textCase, selected] :
             {std::tuple(QStringLiteral("SECOND"), UpperCase, QStringLiteral("second")),
              std::tuple(QStringLiteral("line here\r\nfo"), Exact, QStringLiteral("line here\r\nfo")),
              std::tuple(QStringLiteral("STRASSE"), UpperCase, QStringLiteral("Stra\u00DFe")),
              std::tuple(QStringLiteral("D\r\nTHIRD"), UpperCase, QStringLiteral("d\r\nthird"))}) {
            for (const SearchDirection direction : {Down, Up}) {
                const TextMatch match = box.findText(what, direction == Down ? 0 : text.size(), direction, textCase);
                QVERIFY(box.setSelStart(match.start).ok());
                QVERIFY(box.setSelLength(match.length).ok());
                QCOMPARE(box.SelText(), selected);
            }
        }
        // The file's own line-break characters are not in Text.
        for (const QString &what : {QStringLiteral("r\u2029f"), QStringLiteral("\uFDD0")})
            expectMatches(box, {{what, 0, Down, Exact, -1}, {what, text.size(), Up, UpperCase, -1}});
    }

    void theUserLocaleDecidesTheUpperCase()
    {
        RichTextBox box;
        box.setSelText(QStringLiteral("kilim \u0131s\u0131"));
        const QLocale previous;
        // In Turkish, i becomes dotted capital I and dotless i plain I.
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        expectMatches(box, {{QStringLiteral("K\u0130L\u0130M"), 0, Down, UpperCase, 0, 5},
                            {QStringLiteral("KILIM"), 0, Down, UpperCase, -1}, {QStringLiteral("ISI"), 0, Down, UpperCase, 6, 3}});
        QLocale::setDefault(previous);
        expectMatches(box, {{QStringLiteral("KILIM"), 0, Down, UpperCase, 0, 5}});
    }

    void findTextAgreesWithAPlainSearchOfText()
    {
        // Documents loaded from files, and documents edited in random places
        // so that their text is split where the last edit was, some of them
        // with their undo emptied.
        Random random;
        for (int document = 0; document < 120; ++document) {
            RichTextBox box;
            const quint32 kind = random.below(4);
            if (kind != 2) {
                const qsizetype size = random.below(5) ? 1 + random.below(100) : 3000;
                QVERIFY(loadBytes(box, fresh().path(QStringLiteral("random.txt")), randomText(random, size).toUtf8()));
            }
            if (kind == 3)
                SendMessageA(box.hwnd(), EM_EMPTYUNDOBUFFER);
            for (quint32 edit = kind == 0 ? 0 : 10 + random.below(80); edit > 0; --edit) {
                QVERIFY(box.setSelStart(random.below(box.textLength() + 1)).ok());
                QVERIFY(box.setSelLength(random.below(3) ? 0 : random.below(6)).ok());
                if (random.below(10) == 0)
                    QTest::keyClicks(&box, QStringLiteral("Ss"));
                else
                    box.setSelText(randomText(random, 1 + random.below(4)));
            }
            const QString text = box.Text();
            const PlainSearch plain[] = {PlainSearch(text, Exact), PlainSearch(text, UpperCase)};
            for (int query = 0; query < 50; ++query) {
                const QString what = randomWhat(random, text);
                const qsizetype from = qsizetype(random.below(text.size() + 5)) - 2;
                const SearchDirection direction = random.below(2) ? Down : Up;
                const TextCase textCase = random.below(2) ? Exact : UpperCase;
                const TextMatch expected = plain[textCase == Exact ? 0 : 1].find(what, from, direction);
                expectMatches(box, {{what, from, direction, textCase, expected.start, expected.length}});
                if (QTest::currentTestFailed()) {
                    qWarning("in document %d of %lld characters; what in UTF-8: %s", document,
                             static_cast<long long>(text.size()), what.toUtf8().toHex(' ').constData());
                    return;
                }
            }
        }
    }
};

QUILLORY_SUITE(TextSearch)
#include "tst_textsearch.moc"
