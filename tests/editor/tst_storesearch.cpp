#include "editor/opentext.h"
#include "editor/storesearch.h"
#include "filebytes.h"
#include "suites.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

// Searching a store gives what a search of its whole text as one string
// gives, wherever the store keeps the text.
class StoreSearchTest : public QObject
{
    Q_OBJECT

private slots:
    void searchingAnOpenedAndEditedStoreFindsWhatTheWholeTextHolds_data()
    {
        QTest::addColumn<bool>("keptInFile");
        QTest::newRow("in memory") << false;
        // In blocks of 16 bytes, searched a window of 64 characters at a time.
        QTest::newRow("kept in its file") << true;
    }

    void searchingAnOpenedAndEditedStoreFindsWhatTheWholeTextHolds()
    {
        QFETCH(bool, keptInFile);
        const QStringList pieces {"ab", "\u00df", "SS", "s", "\U00010428", "x", " ", "\r\n", "\u00e9"};
        const QStringList whats {"ss", "SS", "\u00df", "\U00010400", "x a", "b \u00df", "s\u00c9", "ab"};
        QRandomGenerator random(7);
        QString text;
        while (text.size() < 3000)
            text += pieces.at(random.bounded(int(pieces.size())));
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("searched.txt"));
        QVERIFY(writeBytes(path, text.toUtf8()));
        TextStore store;
        TextFileFormat format;
        QVERIFY(openText(path, store, format, nullptr, {keptInFile ? 0 : qint64(1) << 40, 16, 16}).ok());
        store.waitForLines(1 << 30);
        (void)store.grow();
        QCOMPARE(store.file() != nullptr, keptInFile);
        // The store's own form: each line break one character.
        text = TextStore::storedForm(text);
        for (int search = 0; search < 400; ++search) {
            // Now and then an edit, so that occurrences run across what was typed.
            if (search % 10 == 9) {
                const qsizetype at = random.bounded(int(text.size()) + 1);
                const QString typed = TextStore::storedForm(pieces.at(random.bounded(int(pieces.size()))));
                store.replace(at, 0, typed, LineEnd::CrLf);
                text.insert(at, typed);
            }
            const QString what = whats.at(random.bounded(int(whats.size())));
            const qsizetype from = random.bounded(int(text.size()) + 1);
            const SearchDirection direction = random.bounded(2) ? SearchDirection::Down : SearchDirection::Up;
            const TextFinder finder(what, random.bounded(2) ? TextCase::Exact : TextCase::UpperCase);
            const TextFinder::Hit hit = direction == SearchDirection::Down ? finder.find(text, from, text.size(), direction)
                                                                           : finder.find(text, 0, qMin(from + 1, text.size()), direction);
            const TextFinder::Hit found = findInStore(store, finder, from, direction, 64);
            QVERIFY2(found.start == hit.start && found.end == hit.end, qPrintable(QStringLiteral("%1 from %2").arg(what).arg(from)));
        }
    }

    // A word that runs from the file's own text into text typed beside it,
    // or the other way, is found as one, in a text kept in its file.
    void anOccurrenceAcrossTheFileAndTypedTextIsFound_data()
    {
        QTest::addColumn<qsizetype>("typedAt");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("textCase");
        // The file holds "quill and wort" at 1000, "wort" at 1010.
        for (const TextCase textCase : {TextCase::Exact, TextCase::UpperCase}) {
            const char *matching = textCase == TextCase::Exact ? ", match case" : ", any case";
            QTest::addRow("the file's start, typed end%s", matching) << qsizetype(1005) << QStringLiteral("wort") << int(textCase);
            QTest::addRow("typed start, the file's end%s", matching) << qsizetype(1010) << QStringLiteral("quill") << int(textCase);
        }
    }

    void anOccurrenceAcrossTheFileAndTypedTextIsFound()
    {
        QFETCH(qsizetype, typedAt);
        QFETCH(QString, typed);
        QFETCH(int, textCase);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("words.txt"));
        QByteArray bytes = QByteArray("filler text\n").repeated(200);
        bytes.replace(1000, 19, "quill and wort here");
        QVERIFY(writeBytes(path, bytes));
        TextStore store;
        TextFileFormat format;
        QVERIFY(openText(path, store, format, nullptr, {0, 16, 16}).ok());
        store.waitForLines(1 << 30);
        (void)store.grow();
        store.replace(typedAt, 0, typed, LineEnd::Lf);
        const TextFinder finder(QStringLiteral("quillwort"), TextCase(textCase));
        const qsizetype expected = typedAt == 1005 ? 1000 : 1010;
        QCOMPARE(findInStore(store, finder, 0, SearchDirection::Down, 64).start, expected);
        QCOMPARE(findInStore(store, finder, store.length(), SearchDirection::Up, 64).start, expected);
    }
};

QUILLORY_SUITE(StoreSearchTest)
#include "tst_storesearch.moc"
