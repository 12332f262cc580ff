#include "editor/textstore.h"
#include "suites.h"

#include <QTest>

namespace {

// The store's line index worked out the slow way from its text.
void expectLinesMatchText(const TextStore &store)
{
    const QString text = store.text(0, store.length());
    QCOMPARE(store.length(), text.size());
    QCOMPARE(store.lineCount(), text.count(QChar(TextStore::lineBreak)) + 1);
    qsizetype start = 0;
    for (qsizetype line = 0; line < store.lineCount(); ++line) {
        QCOMPARE(store.lineStart(line), start);
        const qsizetype end = text.indexOf(QChar(TextStore::lineBreak), start);
        QCOMPARE(store.lineLength(line), (end < 0 ? text.size() : end) - start);
        QCOMPARE(store.lineAt(start), line);
        if (end >= 0)
            QCOMPARE(store.lineAt(end), line);
        start = end + 1;
    }
    QCOMPARE(store.lineAt(text.size()), store.lineCount() - 1);
}

QList<LineEnd> lineEnds(const TextStore &store)
{
    QList<LineEnd> ends;
    for (qsizetype line = 0; line + 1 < store.lineCount(); ++line)
        ends.append(store.lineEnd(line));
    return ends;
}

} // namespace

class TextStoreTests : public QObject
{
    Q_OBJECT

private slots:
    void eachLineKeepsItsOwnLineEndThroughEditsAndUndo()
    {
        TextStore store;
        const auto counts = store.load(QStringLiteral("a\r\nb\nc\rd\u2029e\r\n"));
        QCOMPARE(counts[size_t(LineEnd::CrLf)], 2);
        QCOMPARE(counts[size_t(LineEnd::Lf)], 1);
        QCOMPARE(store.text(0, store.length()), QStringLiteral("a\nb\nc\nd\ne\n"));
        const QList<LineEnd> loaded {LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr, LineEnd::ParagraphSeparator, LineEnd::CrLf};
        QCOMPARE(lineEnds(store), loaded);

        // Remove "b\nc\r" and put two new lines in its place.
        store.replace(2, 4, QStringLiteral("X\r\nY\rZ"), LineEnd::Lf);
        QCOMPARE(store.text(0, store.length()), QStringLiteral("a\nX\nY\nZd\ne\n"));
        QCOMPARE(lineEnds(store), (QList<LineEnd> {LineEnd::CrLf, LineEnd::Lf, LineEnd::Lf, LineEnd::ParagraphSeparator,
                                                   LineEnd::CrLf}));
        expectLinesMatchText(store);

        qsizetype position = -1;
        qsizetype length = -1;
        QVERIFY(store.undo(&position, &length));
        QCOMPARE(std::pair(position, length), std::pair(qsizetype(2), qsizetype(4)));
        QCOMPARE(store.text(0, store.length()), QStringLiteral("a\nb\nc\nd\ne\n"));
        QCOMPARE(lineEnds(store), loaded);
        expectLinesMatchText(store);
        QVERIFY(store.undo());
        QCOMPARE(store.text(0, store.length()), QStringLiteral("a\nX\nY\nZd\ne\n"));
        QCOMPARE(store.lineEnd(1), LineEnd::Lf);
    }

    void typingAndKeyDeletionsJoinIntoOneUndoStepUntilSomethingElseHappens()
    {
        TextStore store;
        store.load(QStringLiteral("0123456789"));
        for (const QString &letter : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
            store.replace(5 + (letter.at(0).unicode() - u'a'), 0, letter, LineEnd::Lf, TextStore::EditKind::Typing);
        QVERIFY(store.undo());
        QCOMPARE(store.text(0, store.length()), QStringLiteral("0123456789"));
        QVERIFY(store.undo());

        // Backspaces leftwards and deletes rightwards from the same place.
        store.breakUndoJoin();
        store.replace(7, 1, {}, LineEnd::Lf, TextStore::EditKind::Deleting);
        store.replace(6, 1, {}, LineEnd::Lf, TextStore::EditKind::Deleting);
        store.replace(6, 1, {}, LineEnd::Lf, TextStore::EditKind::Deleting);
        QCOMPARE(store.text(0, store.length()), QStringLiteral("01234a6789"));
        QVERIFY(store.undo());
        QCOMPARE(store.text(0, store.length()), QStringLiteral("01234abc56789"));

        // A separate edit, or a broken join, starts a step of its own.
        store.replace(0, 0, QStringLiteral("x"), LineEnd::Lf, TextStore::EditKind::Typing);
        store.breakUndoJoin();
        store.replace(1, 0, QStringLiteral("y"), LineEnd::Lf, TextStore::EditKind::Typing);
        QVERIFY(store.undo());
        QCOMPARE(store.text(0, store.length()), QStringLiteral("x01234abc56789"));
        store.clearUndo();
        QVERIFY(!store.canUndo());
        QVERIFY(!store.undo());
    }

    void editsAllOverALongTextKeepTheLineIndexRight()
    {
        TextStore store;
        QString text;
        for (int line = 0; line < 300; ++line)
            text += QStringLiteral("line %1%2").arg(line).arg(line % 3 ? QStringLiteral("\n") : QStringLiteral("\r\n"));
        store.load(QString(text));
        quint32 seed = 7;
        const auto random = [&seed](qsizetype below) {
            seed = seed * 1664525u + 1013904223u;
            return qsizetype((seed >> 8) % quint32(below));
        };
        const QStringList pieces {QStringLiteral("ab"), QStringLiteral("\n"), QStringLiteral("x\r\ny\rz"), QString()};
        for (int edit = 0; edit < 500; ++edit) {
            const qsizetype at = random(store.length() + 1);
            store.replace(at, random(12), pieces.at(random(pieces.size())), LineEnd::Cr);
            if (edit % 50 == 0) {
                expectLinesMatchText(store);
                if (QTest::currentTestFailed())
                    return;
            }
            if (edit % 7 == 0)
                store.undo();
        }
        expectLinesMatchText(store);
    }
};

QUILLORY_SUITE(TextStoreTests)
#include "tst_textstore.moc"
