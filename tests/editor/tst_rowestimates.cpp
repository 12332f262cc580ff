#include "editor/filetext.h"
#include "editor/rowestimates.h"
#include "editor/textstore.h"
#include "suites.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// An edit to make: [position, position + removed) by text; undo: the
// store's undo instead.
struct Edit
{
    qsizetype position = 0;
    qsizetype removed = 0;
    QString text;
    bool undo = false;
};

// Rows as a line's length says: as many as its characters fill, at least one.
qint64 rowsOf(qsizetype length, qsizetype perRow)
{
    return perRow == 0 ? 1 : std::max<qint64>(1, (length + perRow - 1) / perRow);
}

} // namespace

class RowEstimating : public QObject
{
    Q_OBJECT

private slots:
    void everyLineTakesTheRowsItsLengthFillsAfterEveryEdit_data()
    {
        QTest::addColumn<int>("perRow");
        QTest::addColumn<std::vector<Edit>>("edits");
        // 700 lines of 0 to 40 characters: three blocks of lines.
        const auto lineStart = [](qsizetype line) {
            qsizetype start = 0;
            for (qsizetype l = 0; l < line; ++l)
                start += l * 7 % 41 + 1;
            return start;
        };
        const QString thousand = QStringLiteral("new line\n").repeated(1000);
        QTest::newRow("unwrapped") << 0 << std::vector<Edit>{};
        QTest::newRow("unwrapped, lines added") << 0 << std::vector<Edit>{{lineStart(3), 0, thousand}};
        QTest::newRow("wrapped") << 10 << std::vector<Edit>{};
        QTest::newRow("a line grows by rows") << 10 << std::vector<Edit>{{lineStart(5) + 1, 0, QString(25, u'x')}};
        QTest::newRow("a line shrinks to one row") << 10 << std::vector<Edit>{{lineStart(17), 30, QString()}};
        QTest::newRow("a line grows in the last block") << 7 << std::vector<Edit>{{lineStart(650), 0, QString(50, u'y')}};
        QTest::newRow("lines joined across blocks") << 10 << std::vector<Edit>{{lineStart(250), lineStart(262) - lineStart(250) + 3, QStringLiteral("z")}};
        QTest::newRow("a block's lines all but one taken") << 10 << std::vector<Edit>{{lineStart(256), lineStart(511) - lineStart(256), QString()}};
        QTest::newRow("lines added at the end by the thousand") << 10 << std::vector<Edit>{{lineStart(700) - 1, 0, u'\n' + thousand}};
        QTest::newRow("many lines added in a block") << 10 << std::vector<Edit>{{lineStart(3), 0, thousand}};
        QTest::newRow("an edit undone") << 10 << std::vector<Edit>{{lineStart(5), 0, QStringLiteral("a\nlong line of more than ten characters\n")}, {0, 0, QString(), true}};
        QTest::newRow("one row a character") << 1 << std::vector<Edit>{{lineStart(300), 2, QStringLiteral("pq\nrs")}};
    }

    void everyLineTakesTheRowsItsLengthFillsAfterEveryEdit()
    {
        QFETCH(int, perRow);
        QFETCH(std::vector<Edit>, edits);
        QString text;
        for (int line = 0; line < 700; ++line)
            text += QString(line * 7 % 41, QChar(u'a' + line % 26)) + u'\n';
        text.chop(1);
        TextStore store;
        store.load(QString(text));
        RowEstimates estimates(store);
        estimates.setCharactersPerRow(perRow);
        // Counted before the edits, so that they change what was counted.
        (void)estimates.totalRows();
        qsizetype longest = estimates.longestLine();
        QCOMPARE(longest, 40);
        for (const Edit &edit : edits) {
            if (edit.undo) {
                qsizetype position = 0;
                qsizetype length = 0;
                QVERIFY(store.undo(&position, &length));
                estimates.changedFrom(store.lineAt(position), store.lineAt(position + length));
                continue;
            }
            estimates.aboutToReplace(edit.position, edit.removed);
            store.replace(edit.position, edit.removed, edit.text, LineEnd::Lf);
            estimates.replaced(edit.position, TextStore::storedForm(edit.text).size());
            (void)estimates.totalRows();
        }

        qint64 row = 0;
        for (qsizetype line = 0; line < store.lineCount(); ++line) {
            const qint64 rows = rowsOf(store.lineLength(line), perRow);
            longest = std::max(longest, store.lineLength(line));
            QCOMPARE(estimates.lineRows(line), rows);
            QCOMPARE(estimates.rowsBefore(line), row);
            for (qint64 r = 0; r < rows; ++r) {
                qint64 rowInLine = -1;
                QCOMPARE(estimates.lineForRow(row + r, &rowInLine), line);
                QCOMPARE(rowInLine, r);
            }
            row += rows;
        }
        QCOMPARE(estimates.totalRows(), row);
        QCOMPARE(estimates.longestLine(), longest);
        // Rows beyond the end are the last line's last.
        qint64 rowInLine = -1;
        QCOMPARE(estimates.lineForRow(row + 5, &rowInLine), store.lineCount() - 1);
        QCOMPARE(rowInLine, rowsOf(store.lineLength(store.lineCount() - 1), perRow) - 1);
    }

    // Its lines are not read one by one: they count as long as they are on
    // average, and the longest as long as the file's longest and all added.
    void aTextKeptInItsFileCountsItsLinesAtTheirAverageLength()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("kept.txt"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            // Lines of 5, 25, 0 and 12 characters.
            file.write("12345\n" + QByteArray(25, 'b') + "\n\n" + QByteArray(12, 'd'));
        }
        FileError error;
        const std::shared_ptr<FileText> file = FileText::open(path, TextFileFormat(), error);
        QVERIFY(file);
        file->waitForIndex();
        TextStore store;
        store.load(file);
        while (store.growing())
            (void)store.grow();
        QCOMPARE(store.lineCount(), 4);
        RowEstimates estimates(store);
        QCOMPARE(estimates.totalRows(), 4);
        QCOMPARE(estimates.longestLine(), 25);
        estimates.setCharactersPerRow(10);
        // 42 characters in 4 lines: about 10 a line, a row each.
        QCOMPARE(estimates.totalRows(), 4);
        // The first two lines: 15 on average, two rows each.
        QCOMPARE(estimates.rowsBefore(2), 4);
        QCOMPARE(estimates.rowsBefore(3), 3);

        // The last line grows from 12 characters to 42, from 2 rows to 5:
        // the edit changes the count by the change in its own lines.
        estimates.aboutToReplace(store.length(), 0);
        store.replace(store.length(), 0, QString(30, u'e'), LineEnd::Lf);
        estimates.replaced(store.length() - 30, 30);
        QCOMPARE(estimates.totalRows(), 7);
        QCOMPARE(estimates.longestLine(), 25 + 30);
        estimates.setCharactersPerRow(0);
        QCOMPARE(estimates.totalRows(), 4);
        QCOMPARE(estimates.rowsBefore(3), 3);
    }
};

QUILLORY_SUITE(RowEstimating)
#include "tst_rowestimates.moc"
