#include "editor/textfile.h"
#include "filebytes.h"
#include "suites.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using LineEnds = std::vector<std::pair<qsizetype, LineEnd>>;

Q_DECLARE_METATYPE(TextEncoding)
Q_DECLARE_METATYPE(LineEnd)
Q_DECLARE_METATYPE(LineEnds)

namespace {

constexpr qsizetype megabyte = 1 << 20;

// Lines of "a" with what standing across the end of every megabyte up to
// the ninth, cut after its first cutAfter bytes: wherever a file is cut into
// pieces of one to eight megabytes, a piece ends inside what.
QByteArray acrossEveryMegabyte(const QByteArray &what, qsizetype cutAfter, const QByteArray &start = {},
                               const QByteArray &lineEnd = "\n")
{
    QByteArray bytes = start;
    for (qsizetype end = megabyte; end <= 9 * megabyte; end += megabyte) {
        while (bytes.size() < end - cutAfter) {
            if (bytes.size() % 100 >= 98 && bytes.size() + lineEnd.size() <= end - cutAfter)
                bytes += lineEnd;
            else
                bytes += 'a';
        }
        bytes += what;
    }
    return bytes;
}

QString describe(const LineEnds &lineEnds)
{
    QStringList lines;
    for (const auto &[line, lineEnd] : lineEnds)
        lines += QStringLiteral("%1:%2").arg(line).arg(int(lineEnd));
    return lines.join(u' ');
}

} // namespace

class TextFileReading : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

private slots:
    void fileReadInPiecesIsDecodedAsAWhole_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<TextEncoding>("encoding");

        const auto utf8 = [](const char *name, const QByteArray &bytes) {
            QTest::newRow(name) << bytes << QString::fromUtf8(bytes) << TextEncoding::Utf8;
        };
        utf8("two-byte character cut after 1", acrossEveryMegabyte("\xC3\xA9", 1));
        utf8("three-byte character cut after 1", acrossEveryMegabyte("\xE2\x82\xAC", 1));
        utf8("three-byte character cut after 2", acrossEveryMegabyte("\xE2\x82\xAC", 2));
        utf8("four-byte character cut after 1", acrossEveryMegabyte("\xF0\x9F\x98\x80", 1));
        utf8("four-byte character cut after 2", acrossEveryMegabyte("\xF0\x9F\x98\x80", 2));
        utf8("four-byte character cut after 3", acrossEveryMegabyte("\xF0\x9F\x98\x80", 3));

        // Bytes from 0xA0 on are the same characters in Windows-1252 and Latin-1.
        const auto windows1252 = [](const char *name, const QByteArray &bytes) {
            QTest::newRow(name) << bytes << QString::fromLatin1(bytes) << TextEncoding::Windows1252;
        };
        windows1252("UTF-8 cut off at the end of the file", acrossEveryMegabyte("\xC3\xA9", 1) + "\xC3");
        windows1252("byte that is not UTF-8 after megabytes that are",
                    acrossEveryMegabyte("\xC3\xA9", 1) + " \xE9t\xE9");
        windows1252("UTF-8 byte-order mark, then a byte that is not UTF-8",
                    acrossEveryMegabyte("\xC3\xA9", 1, "\xEF\xBB\xBF") + "\xFF");
        windows1252("UTF-16 byte-order mark, odd length",
                    utf16(QString(5 * megabyte, u'x') + u'\n', false) + "y");

        const QString pairs = QString::fromUtf8(acrossEveryMegabyte("\xF0\x9F\x98\x80", 1));
        QTest::newRow("UTF-16 LE") << utf16(pairs, false) << pairs << TextEncoding::Utf16LE;
        QTest::newRow("UTF-16 BE") << utf16(pairs, true) << pairs << TextEncoding::Utf16BE;
    }

    void fileReadInPiecesIsDecodedAsAWhole()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(TextEncoding, encoding);
        const QString path = m_folder.filePath(QStringLiteral("big.txt"));
        QVERIFY(writeBytes(path, bytes));

        DecodedTextFile fromFile;
        QVERIFY(readTextFile(path, fromFile).ok());
        DecodedTextFile fromBytes = decodeTextFile(bytes);
        for (const DecodedTextFile *decoded : {&fromFile, &fromBytes}) {
            QCOMPARE(decoded->format.encoding, encoding);
            QVERIFY(decoded->text == text);
            QCOMPARE(decoded->format.lineEnd, LineEnd::Lf);
            QCOMPARE(describe(decoded->otherLineEnds), QString());
        }
    }

    void crLfCutByTheEndOfAPieceIsOneLineEnd()
    {
        const QByteArray bytes = acrossEveryMegabyte("\r\n", 1, {}, "\r\n");
        const QString path = m_folder.filePath(QStringLiteral("crlf.txt"));
        QVERIFY(writeBytes(path, bytes));
        DecodedTextFile decoded;
        QVERIFY(readTextFile(path, decoded).ok());
        QCOMPARE(decoded.format.lineEnd, LineEnd::CrLf);
        QCOMPARE(describe(decoded.otherLineEnds), QString());
        QCOMPARE(describe(decodeTextFile(bytes).otherLineEnds), QString());
    }

    void linesThatEndOtherwiseThanMostAreListed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<LineEnd>("lineEnd");
        QTest::addColumn<QString>("others");
        QTest::newRow("all alike") << QByteArray("a\r\nb\r\nc") << LineEnd::CrLf << QString();
        QTest::newRow("the first otherwise") << QByteArray("a\nb\r\nc\r\nd") << LineEnd::CrLf << QStringLiteral("0:1");
        QTest::newRow("the first ones otherwise")
            << QByteArray("a\rb\rc\nd\ne\nf\n") << LineEnd::Lf << QStringLiteral("0:2 1:2");
        QTest::newRow("the last otherwise") << QByteArray("a\nb\nc\r") << LineEnd::Lf << QStringLiteral("2:2");
        QTest::newRow("a tie goes to CR LF")
            << QByteArray("a\nb\r\nc\nd\r\n") << LineEnd::CrLf << QStringLiteral("0:1 2:1");
        QTest::newRow("CR CR LF is a CR and a CR LF")
            << QByteArray("a\r\r\nb\r\n") << LineEnd::CrLf << QStringLiteral("0:2");
        QTest::newRow("separator and noncharacters")
            << QByteArray("a\xE2\x80\xA9" "b\xEF\xB7\x90" "c\xEF\xB7\x91" "d\xE2\x80\xA9" "e\xE2\x80\xA8")
            << LineEnd::ParagraphSeparator << QStringLiteral("1:4 2:5");
    }

    void linesThatEndOtherwiseThanMostAreListed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(LineEnd, lineEnd);
        QFETCH(QString, others);
        const DecodedTextFile decoded = decodeTextFile(bytes);
        QCOMPARE(decoded.format.lineEnd, lineEnd);
        QCOMPARE(describe(decoded.otherLineEnds), others);
    }

    void textWithoutLineEndsTakesThePlatforms()
    {
        const DecodedTextFile decoded = decodeTextFile("one line\tand a tab");
        QCOMPARE(decoded.format.lineEnd, platformLineEnd());
        QVERIFY(decoded.otherLineEnds.empty());
    }

    void systemFileThatSaysItIsEmptyIsReadWhole()
    {
#ifndef Q_OS_LINUX
        QSKIP("no /proc here");
#else
        const QString path = QStringLiteral("/proc/version");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.size(), 0);
        const QString expected = QString::fromUtf8(file.readAll());
        QVERIFY(!expected.isEmpty());
        DecodedTextFile decoded;
        QVERIFY(readTextFile(path, decoded).ok());
        QCOMPARE(decoded.text, expected);
#endif
    }
};

QUILLORY_SUITE(TextFileReading)
#include "tst_textfile.moc"
