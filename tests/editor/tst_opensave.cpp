#include "editor/opentext.h"
#include "editor/safefile.h"
#include "editor/savetext.h"
#include "editor/storesearch.h"
#include "filebytes.h"
#include "suites.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString wholeText(const TextStore &store)
{
    QString text;
    (void)store.readRuns([&](QStringView run) { text += run; }, [&](LineEnd lineEnd) { text += lineEndText(lineEnd); });
    return text;
}

std::vector<FileError::Kind> kinds(const std::vector<FileError> &errors)
{
    std::vector<FileError::Kind> kinds;
    for (const FileError &error : errors)
        kinds.push_back(error.kind);
    return kinds;
}

} // namespace

// Reading files into a store and writing stores to files, as the engine's
// own pipelines do it.
class OpenSaveTest : public QObject
{
    Q_OBJECT

private slots:
    // Big files show at once and cost little memory: from the line on they
    // are read from the file as they are shown.
    void aFileIsKeptInItsFileFromTheLineOn_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<bool>("kept");
        QTest::newRow("just under the line") << TextOpening::defaultKeptInFileFrom - 1 << false;
        QTest::newRow("at the line") << TextOpening::defaultKeptInFileFrom << true;
        QTest::newRow("64 MB") << (qint64(64) << 20) << true;
    }

    void aFileIsKeptInItsFileFromTheLineOn()
    {
        QFETCH(qint64, bytes);
        QFETCH(bool, kept);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("big.txt"));
        const QByteArray line = QByteArray("a line of a big file\r\n");
        QByteArray text = line.repeated(bytes / line.size() + 1);
        text.truncate(bytes);
        QVERIFY(writeBytes(path, text));
        TextStore store;
        TextFileFormat format;
        QVERIFY(openText(path, store, format, nullptr, TextOpening()).ok());
        QCOMPARE(store.file() != nullptr, kept);
        QCOMPARE(format.lineEnd, LineEnd::CrLf);
        store.waitForLines(1 << 30);
        (void)store.grow();
        QCOMPARE(store.lineCount(), text.count('\n') + 1);
    }

    // Another program that writes over a file kept under a text (truncating
    // and writing, as loggers do) never gets its bytes into the text or a
    // save of it: the parts read from the file read as nothing, and the
    // save writes no file at all.
    void aFileWrittenOverInPlaceIsNeverMixedIn_data()
    {
        QTest::addColumn<QByteArray>("theirs");
        const QByteArray ours = QByteArray("our line\n").repeated(400);
        QTest::newRow("as long") << ours.toUpper();
        QTest::newRow("shorter") << ours.toUpper().left(1000);
        QTest::newRow("longer") << ours.toUpper() + "MORE\n";
        QByteArray oneByte = ours;
        oneByte[2000] = 'X';
        QTest::newRow("one byte") << oneByte;
    }

    void aFileWrittenOverInPlaceIsNeverMixedIn()
    {
        QFETCH(QByteArray, theirs);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("log.txt"));
        const QString copy = folder.filePath(QStringLiteral("copy.txt"));
        QVERIFY(writeBytes(path, QByteArray("our line\n").repeated(400)));
        TextStore store;
        TextFileFormat format;
        QVERIFY(openText(path, store, format, nullptr, {0, 64, 64}).ok());
        store.waitForLines(1 << 30);
        (void)store.grow();
        store.replace(9, 0, u"typed ", format.lineEnd, TextStore::EditKind::Typing);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Truncate) && file.write(theirs) == theirs.size());
        file.close();
        const QString text = wholeText(store);
        QVERIFY(text.contains(QStringLiteral("typed ")));
        QVERIFY2(!text.contains(u'X') && !text.contains(QStringLiteral("OUR")), "bytes of the other program read");
        QVERIFY(store.file()->changed());
        const std::vector<FileError> saved = saveText(store, {path, copy}, format, false, 64);
        QCOMPARE(kinds(saved), std::vector<FileError::Kind>(2, FileError::Kind::ChangedOutside));
        QCOMPARE(readBytes(path), theirs);
        QVERIFY(!QFile::exists(copy));
    }

    // The backups are the main file's bytes; where there is no main file to
    // copy (it could not be written, its last step failed, it is a device)
    // they are written from the text, unless the first failure stops the rest.
    void backupsAreCopiesOfTheMainFile_data()
    {
        QTest::addColumn<QString>("main");
        QTest::addColumn<bool>("stopAtFailure");
        QTest::addColumn<bool>("keptInFile");
        QTest::newRow("copied") << "main.txt" << false << false;
        QTest::newRow("copied, kept in its file") << "main.txt" << true << true;
        QTest::newRow("main failed, backups written") << "none/main.txt" << false << false;
        QTest::newRow("main failed, backups left") << "none/main.txt" << true << true;
        QTest::newRow("main's folder gone at its last step, backups written") << "gone/main.txt" << false << true;
        QTest::newRow("main a device, backups written") << "/dev/null" << false << false;
    }

    void backupsAreCopiesOfTheMainFile()
    {
        QFETCH(QString, main);
        QFETCH(bool, stopAtFailure);
        QFETCH(bool, keptInFile);
        QTemporaryDir folder;
        const QDir root(folder.path());
        QVERIFY(root.mkpath(QStringLiteral("b1")) && root.mkpath(QStringLiteral("b2")) && root.mkpath(QStringLiteral("gone")));
        const QString source = folder.filePath(QStringLiteral("source.txt"));
        const QByteArray bytes = QByteArray("\xEF\xBB\xBFline \xC3\xA9\r\nnext\nlast\r", 22).repeated(500);
        QVERIFY(writeBytes(source, bytes));
        TextStore store;
        TextFileFormat format;
        QVERIFY(openText(source, store, format, nullptr, {keptInFile ? 0 : qint64(1) << 40, 64, 64}).ok());
        store.waitForLines(1 << 30);
        (void)store.grow();
        const QStringList paths {root.filePath(main), root.filePath(QStringLiteral("b1/main.txt")), root.filePath(QStringLiteral("b2/main.txt"))};
        QVERIFY(writeBytes(paths[2], "old backup"));
        SafeFileWriter::setBeforeCommit([&](const QString &path) {
            if (path == root.filePath(QStringLiteral("gone/main.txt")))
                QDir(root).rename(QStringLiteral("gone"), QStringLiteral("went"));
        });
        const auto noHook = qScopeGuard([] { SafeFileWriter::setBeforeCommit({}); });
        const std::vector<FileError> saved = saveText(store, paths, format, stopAtFailure, 64);
        const bool mainWritten = main == u"main.txt" || main == u"/dev/null";
        QCOMPARE(saved[0].ok(), mainWritten);
        for (qsizetype i = 1; i < paths.size(); ++i) {
            const bool written = mainWritten || !stopAtFailure;
            QCOMPARE(saved[size_t(i)].kind, written ? FileError::Kind::None : FileError::Kind::NotWritten);
            QCOMPARE(readBytes(paths[i]), written ? bytes : i == 2 ? QByteArray("old backup") : QByteArray("<unreadable>"));
        }
        if (main == u"main.txt")
            QCOMPARE(readBytes(paths[0]), bytes);
    }

    // Without Match Case a big ASCII file is first ruled out a stretch at a
    // time; capitals that spell the word must not rule it out.
    void findingIgnoringCaseInAKeptFileSeesCapitals_data()
    {
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<qsizetype>("found");
        QTest::newRow("capitals") << QByteArray("QUILLWORT") << qsizetype(3000);
        QTest::newRow("mixed") << QByteArray("QuillWort") << qsizetype(3000);
        QTest::newRow("lower case") << QByteArray("quillwort") << qsizetype(3000);
        QTest::newRow("another word") << QByteArray("BOGBEANS!") << qsizetype(-1);
    }

    void findingIgnoringCaseInAKeptFileSeesCapitals()
    {
        QFETCH(QByteArray, word);
        QFETCH(qsizetype, found);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("caps.txt"));
        QByteArray bytes = QByteArray("NOTHING TO SEE HERE, ").repeated(300);
        bytes.replace(3000, word.size(), word);
        QVERIFY(writeBytes(path, bytes));
        TextStore store;
        TextFileFormat format;
        QVERIFY(openText(path, store, format, nullptr, {0, 1 << 16, 1 << 16}).ok());
        store.waitForLines(1 << 30);
        (void)store.grow();
        const TextFinder finder(QStringLiteral("quillwort"), TextCase::UpperCase);
        QCOMPARE(findInStore(store, finder, 0, SearchDirection::Down, 64).start, found);
    }
};

QUILLORY_SUITE(OpenSaveTest)
#include "tst_opensave.moc"
