#include "editor/filetext.h"
#include "editor/textdecode.h"
#include "editor/textencode.h"
#include "editor/textstore.h"
#include "filebytes.h"
#include "suites.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Letters, accents, characters beyond the basic plane, and every kind of
// line end, cut anywhere by small blocks; the same for the same seed.
QString mixedText(quint32 seed, int length, bool unicode)
{
    QRandomGenerator random(seed);
    const QStringList pieces = unicode ? QStringList {"a", "b", " ", "\u00e9", "\u20ac", "\U0001F600", "\r\n", "\n",
                                                      "\r", "\u2029", "\uFDD0", "\r\r\n", "\n\r", "\uFEFF",
                                                      "lorem ipsum dolor sit amet "}
                                       : QStringList {"a", "b", " ", "\u00e9", "\u00fc", "\r\n", "\n", "\r", "\r\r\n",
                                                      "lorem ipsum dolor sit amet "};
    QString text;
    while (text.size() < length)
        text += pieces.at(random.bounded(int(pieces.size())));
    return text;
}

QByteArray encoded(const QString &text, const TextFileFormat &format)
{
    QByteArray bytes;
    EncodedTextWriter writer([&](QByteArrayView part) { bytes += part; }, format);
    if (format.byteOrderMark)
        writer.writeByteOrderMark();
    writer.write(text);
    writer.flush();
    return bytes;
}

} // namespace

class FileTextTest : public QObject
{
    Q_OBJECT

private slots:
    void aFileReadABlockAtATimeGivesTheTextReadWhole_data()
    {
        QTest::addColumn<TextFileFormat>("format");
        QTest::addColumn<bool>("unicode");
        QTest::addColumn<int>("blockBytes");
        TextFileFormat withMark = formatOf(TextEncoding::Utf8);
        withMark.byteOrderMark = true;
        TextFileFormat koi8 = formatOf(TextEncoding::Legacy);
        koi8.legacyName = "KOI8-R";
        QTest::newRow("UTF-8 in blocks of 5") << formatOf(TextEncoding::Utf8) << true << 5;
        QTest::newRow("UTF-8 with a byte-order mark, blocks of 64") << withMark << true << 64;
        QTest::newRow("UTF-16 LE in blocks of 6") << formatOf(TextEncoding::Utf16LE) << true << 6;
        QTest::newRow("UTF-16 BE in blocks of 9") << formatOf(TextEncoding::Utf16BE) << true << 9;
        QTest::newRow("Windows-1252 in blocks of 4") << formatOf(TextEncoding::Windows1252) << false << 4;
        QTest::newRow("KOI8-R in blocks of 7") << koi8 << false << 7;
        QTest::newRow("UTF-8 in blocks of 100") << formatOf(TextEncoding::Utf8) << true << 100;
        QTest::newRow("Windows-1252 in blocks of 100") << formatOf(TextEncoding::Windows1252) << false << 100;
    }

    // Blocks cut characters, surrogate pairs and CR LF pairs nowhere: their
    // texts one after the other are the text as the store reads it whole,
    // line ends included, and every position and break is found in the
    // block that holds it.
    void aFileReadABlockAtATimeGivesTheTextReadWhole()
    {
        QFETCH(TextFileFormat, format);
        QFETCH(bool, unicode);
        QFETCH(int, blockBytes);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("text"));
        for (quint32 seed = 1; seed <= 30; ++seed) {
            QString text = mixedText(seed, int(seed) * (blockBytes >= 100 ? 70 : 7), unicode);
            if (!unicode && format.encoding == TextEncoding::Legacy)
                text.replace(QStringLiteral("\u00e9"), QStringLiteral("\u0436")).replace(QStringLiteral("\u00fc"), QStringLiteral("\u044f"));
            const QByteArray bytes = encoded(text, format);
            QVERIFY(writeBytes(path, bytes));
            TextStore whole;
            const std::array<qsizetype, lineEndKinds> counts = whole.load(decodeTextFile(bytes, format).text);

            FileError error;
            const std::shared_ptr<FileText> file = FileText::open(path, format, error, blockBytes);
            QVERIFY2(file, qPrintable(error.reason));
            file->waitForIndex();
            QVERIFY(file->intact());
            QCOMPARE(file->length(), whole.length());
            QCOMPARE(file->breaks(), whole.lineCount() - 1);
            QVERIFY(file->lineEndCounts() == counts);
            QString read;
            std::vector<LineEnd> lineEnds;
            for (qsizetype index = 0; index < file->blockCount(); ++index) {
                const FileText::Block block = file->block(index);
                QCOMPARE(block.start, read.size());
                QCOMPARE(block.breaksBefore, qsizetype(lineEnds.size()));
                const auto decoded = file->decode(block);
                QCOMPARE(decoded->text.size(), block.length);
                read += decoded->text;
                lineEnds.insert(lineEnds.end(), decoded->lineEnds.begin(), decoded->lineEnds.end());
            }
            QCOMPARE(read, whole.text(0, whole.length()));
            qsizetype longest = 0;
            for (qsizetype line = 0; line < whole.lineCount(); ++line) {
                longest = std::max(longest, whole.lineLength(line));
                if (line + 1 < whole.lineCount())
                    QCOMPARE(lineEnds[size_t(line)], whole.lineEnd(line));
            }
            // A byte a character: the longest line is known exactly.
            if (unicode)
                QVERIFY(file->longestLine() >= longest && file->longestLine() <= bytes.size());
            else
                QCOMPARE(file->longestLine(), longest);
            for (qsizetype position = 0; position < whole.length(); ++position) {
                const FileText::Block block = file->blockAt(position);
                QVERIFY(block.start <= position && position < block.start + block.length);
            }
            for (qsizetype breakIndex = 0; breakIndex < file->breaks(); ++breakIndex) {
                const FileText::Block block = file->blockOfBreak(breakIndex);
                QVERIFY(block.breaksBefore <= breakIndex && breakIndex < block.breaksBefore + block.breaks);
            }
            QCOMPARE(file->blockAt(whole.length()).index, file->blockCount() - 1);
        }
    }

    // Bytes that are not UTF-8 end the index where they stand; a file
    // shortened or replaced meanwhile cannot make a read fail other than
    // by saying so, and a replaced one is still read as it was (and the
    // file now under its name is known to be another).
    void whatCannotBeReadAsOpenedIsReportedNotRead()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("text"));
        const QByteArray good = QByteArray("line of text\n").repeated(100);
        FileError error;

        QVERIFY(writeBytes(path, good + "\xff" + good));
        std::shared_ptr<FileText> file = FileText::open(path, formatOf(TextEncoding::Utf8), error, 64);
        file->waitForIndex();
        QVERIFY(!file->intact());
        QVERIFY(file->length() <= good.size());

        QVERIFY(writeBytes(path, good));
        file = FileText::open(path, formatOf(TextEncoding::Utf8), error, 64);
        file->waitForIndex();
        QVERIFY(file->reads(path));
        QVERIFY(writeBytes(folder.filePath(QStringLiteral("other")), QByteArray("other text\n").repeated(200)));
        QVERIFY(QFile::remove(path) && QFile::rename(folder.filePath(QStringLiteral("other")), path));
        QVERIFY(!file->reads(path));
        const FileText::Block tenth = file->block(10);
        QCOMPARE(file->decode(tenth)->text, QString::fromLatin1(good.mid(tenth.byteStart, tenth.byteEnd - tenth.byteStart)));
        QVERIFY(file->intact());

        QFile shortened(path);
        file = FileText::open(path, formatOf(TextEncoding::Utf8), error, 64);
        file->waitForIndex();
        QVERIFY(shortened.open(QIODevice::ReadWrite) && shortened.resize(100));
        // What has gone reads as replacement characters, every line in its place.
        const FileText::Block last = file->block(file->blockCount() - 1);
        const QString gone = file->decode(last)->text;
        QCOMPARE(gone.size(), last.length);
        QCOMPARE(gone.count(u'\n'), last.breaks);
        QCOMPARE(gone.count(QChar::ReplacementCharacter), last.length - last.breaks);
        QVERIFY(!file->intact() && file->changed());

        QVERIFY(!FileText::open(folder.filePath(QStringLiteral("none")), formatOf(TextEncoding::Utf8), error));
        QCOMPARE(error.kind, FileError::Kind::NoFile);
    }
};

QUILLORY_SUITE(FileTextTest)
#include "tst_filetext.moc"
