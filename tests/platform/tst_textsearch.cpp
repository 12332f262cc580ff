#include "editor/textfinder.h"
#include "filebytes.h"
#include "platform/richtextbox.h"
#include "suites.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr auto Down = SearchDirection::Down;
constexpr auto Up = SearchDirection::Up;
constexpr auto Exact = TextCase::Exact;
constexpr auto UpperCase = TextCase::UpperCase;

QString describe(qsizetype start, qsizetype length)
{
    return start >= 0 ? QStringLiteral("%1+%2").arg(start).arg(length) : QStringLiteral("none");
}

} // namespace

class TextSearch : public QObject
{
    Q_OBJECT

private slots:
    void positionsFoundAreTextsWhereverTheStoreHoldsThePieces()
    {
        RichTextBox box;
        // Typed in pieces, so that the store holds them apart.
        for (const auto &[at, piece] : {std::pair(0, QStringLiteral("one wor")), std::pair(0, QStringLiteral("zero ")),
                                        std::pair(12, QStringLiteral("ld\r\ntwo\rx\U00010428"))}) {
            QVERIFY(box.setSelStart(at).ok());
            box.setSelText(piece);
        }
        QCOMPARE(box.Text(), QStringLiteral("zero one world\r\ntwo\r\nx\U00010428"));
        for (const auto &[what, from, direction, textCase, found] : {
                 std::tuple(QStringLiteral("e world"), 0, Down, Exact, "7+7"),
                 std::tuple(QStringLiteral("E WORLD"), 7, Up, UpperCase, "7+7"), // starting where the search starts
                 std::tuple(QStringLiteral("o"), 4, Up, Exact, "3+1"),
                 std::tuple(QStringLiteral("d\r\nt"), 0, Down, Exact, "13+4"),
                 std::tuple(QStringLiteral("\r\n"), 100, Up, Exact, "19+2"),
                 // between a CR and its LF only what starts with LF starts
                 std::tuple(QStringLiteral("two"), 15, Down, UpperCase, "16+3"),
                 std::tuple(QStringLiteral("\ntwo"), 15, Down, Exact, "15+4"),
                 std::tuple(QStringLiteral("\U00010400"), 24, Up, UpperCase, "22+2"),
             }) {
            const TextMatch match = box.findText(what, from, direction, textCase);
            QCOMPARE(describe(match.start, match.length), QString::fromLatin1(found));
        }
    }

    // Stretches of Text read alone, as printing reads them, from anywhere
    // (between a CR and its LF too), of a text loaded from a file (which a
    // run of the tests keeps in its file) and edited.
    void stretchesOfTextReadAloneAreTextsOwn()
    {
        const QStringList pieces {"ab", "\u00df", "SS", "s", "\U00010428", "x", " ", "\r\n", "\u00e9"};
        QRandomGenerator random(7);
        QString text;
        while (text.size() < 3000)
            text += pieces.at(random.bounded(int(pieces.size())));
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("searched.txt"));
        QVERIFY(writeBytes(path, text.toUtf8()));
        RichTextBox box;
        QVERIFY(box.LoadFile(path).ok());
        QCOMPARE(box.Text(), text);
        for (int edit = 0; edit < 40; ++edit) {
            qsizetype at = random.bounded(int(text.size()) + 1);
            if (at > 0 && at < text.size() && text.at(at - 1) == u'\r')
                ++at;
            const QString typed = pieces.at(random.bounded(int(pieces.size())));
            QVERIFY(box.setSelStart(at).ok());
            box.setSelText(typed);
            text.insert(at, typed);
        }
        for (qsizetype from = 0; from <= text.size(); from += 7)
            QCOMPARE(box.textStretch(from, 50), text.mid(from, 50));
    }
};

QUILLORY_SUITE(TextSearch)
#include "tst_textsearch.moc"
