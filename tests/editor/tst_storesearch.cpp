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
};

QUILLORY_SUITE(StoreSearchTest)
#include "tst_storesearch.moc"
