#include "editor/safefile.h"
#include "editor/textdecode.h"
#include "editor/textencode.h"
#include "filebytes.h"
#include "suites.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using LineEnds = std::vector<std::pair<qsizetype, LineEnd>>;

Q_DECLARE_METATYPE(LineEnd)

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

class TextFileFormats : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

private slots:
    void fileIsDecodedWithItsEncodingAndLineEndsAndWrittenBackTheSame_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text"); // empty: the bytes as UTF-8
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<LineEnd>("lineEnd");
        QTest::addColumn<QString>("others"); // line:LineEnd of lines that end otherwise than most

        const auto utf8 = [](const char *name, const QByteArray &bytes, LineEnd lineEnd = LineEnd::Lf,
                             const QString &others = {}) {
            QTest::newRow(name) << bytes << QString() << QStringLiteral("UTF-8") << lineEnd << others;
        };
        // Characters and line ends cut by the end of a piece read.
        utf8("two-byte character cut after 1", acrossEveryMegabyte("\xC3\xA9", 1));
        utf8("three-byte character cut after 2", acrossEveryMegabyte("\xE2\x82\xAC", 2));
        utf8("four-byte character cut after 1", acrossEveryMegabyte("\xF0\x9F\x98\x80", 1));
        utf8("four-byte character cut after 3", acrossEveryMegabyte("\xF0\x9F\x98\x80", 3));
        utf8("CR LF cut after CR", acrossEveryMegabyte("\r\n", 1, {}, "\r\n"), LineEnd::CrLf);

        utf8("the first otherwise", "a\nb\r\nc\r\nd", LineEnd::CrLf, QStringLiteral("0:1"));
        utf8("the first ones otherwise", "a\rb\rc\nd\ne\nf\n", LineEnd::Lf, QStringLiteral("0:2 1:2"));
        utf8("the last otherwise", "a\nb\nc\r", LineEnd::Lf, QStringLiteral("2:2"));
        utf8("a tie goes to CR LF", "a\nb\r\nc\nd\r\n", LineEnd::CrLf, QStringLiteral("0:1 2:1"));
        utf8("CR CR LF is a CR and a CR LF", "a\r\r\nb\r\n", LineEnd::CrLf, QStringLiteral("0:2"));
        utf8("separator and noncharacters", "a\xE2\x80\xA9" "b\xEF\xB7\x90" "c\xEF\xB7\x91" "d\xE2\x80\xA9" "e\xE2\x80\xA8",
             LineEnd::ParagraphSeparator, QStringLiteral("1:4 2:5"));
        utf8("no line end takes the platform's", "one line\tand a tab", platformLineEnd());

        // Bytes from 0xA0 on are the same characters in Windows-1252 and Latin-1.
        const auto windows1252 = [](const char *name, const QByteArray &bytes, const QString &text = {}) {
            QTest::newRow(name) << bytes << (text.isEmpty() ? QString::fromLatin1(bytes) : text)
                                << QStringLiteral("windows-1252") << LineEnd::Lf << QString();
        };
        windows1252("Windows-1252 letters and an unassigned byte", "caf\xE9 \x80 \x93q\x94 \x81\n",
                    QStringLiteral("caf\u00E9 \u20AC \u201Cq\u201D \u0081\n"));
        windows1252("UTF-8 cut off at the end of the file", acrossEveryMegabyte("\xC3\xA9", 1) + "\xC3");
        windows1252("byte that is not UTF-8 after megabytes that are", acrossEveryMegabyte("\xC3\xA9", 1) + " \xE9t\xE9");
        windows1252("UTF-8 byte-order mark, then a byte that is not UTF-8",
                    acrossEveryMegabyte("\xC3\xA9", 1, "\xEF\xBB\xBF") + "\xFF");
        windows1252("UTF-16 byte-order mark, odd length", utf16(QString(5 * megabyte, u'x') + u'\n', false) + "y");

        const QString pairs = QString::fromUtf8(acrossEveryMegabyte("\xF0\x9F\x98\x80", 1));
        QTest::newRow("UTF-16 LE") << utf16(pairs, false) << pairs << QStringLiteral("UTF-16 LE") << LineEnd::Lf << QString();
        QTest::newRow("UTF-16 BE") << utf16(pairs, true) << pairs << QStringLiteral("UTF-16 BE") << LineEnd::Lf << QString();

        // Lines of pairs longer than the writer's chunks, so that a pair meets
        // a chunk's end; each line after the second shifted by a character.
        const QString emoji = QStringLiteral("\U0001F600");
        QString text = emoji.repeated(4) + u'\n' + emoji.repeated(720000);
        for (int line = 0; line < 3; ++line)
            text += QStringLiteral("\nx") + emoji.repeated(650000);
        utf8("UTF-8 emoji", text.toUtf8());
        QTest::newRow("UTF-16 LE emoji") << utf16(text, false) << text << QStringLiteral("UTF-16 LE") << LineEnd::Lf << QString();
        QTest::newRow("UTF-16 BE emoji") << utf16(text, true) << text << QStringLiteral("UTF-16 BE") << LineEnd::Lf << QString();

        // UTF-32 by its mark, UTF-16 without one by its zero bytes, legacy
        // character sets by the detector.
        const QString mixed = QStringLiteral("caf\u00E9 \u0416\r\n") + emoji + QStringLiteral(" \u65E5\u672C\r\n");
        const auto encoded = [](const QString &text, QStringConverter::Encoding encoding) {
            QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
            return QByteArray(encoder.encode(text));
        };
        const auto inCharset = [](const QString &text, const char *name) {
            QStringEncoder encoder(name);
            return QByteArray(encoder.encode(text));
        };
        const auto row = [](const char *name, const QByteArray &bytes, const QString &text, const char *encoding,
                            LineEnd lineEnd = LineEnd::CrLf) {
            QTest::newRow(name) << bytes << text << QString::fromLatin1(encoding) << lineEnd << QString();
        };
        row("UTF-32 LE", encoded(mixed, QStringConverter::Utf32LE), mixed, "UTF-32 LE");
        row("UTF-32 BE", encoded(mixed, QStringConverter::Utf32BE), mixed, "UTF-32 BE");
        const QString latin = QStringLiteral("A note on the caf\u00E9's menu, \u0416 and all.\r\n").repeated(3) + mixed;
        row("UTF-16 LE without a mark", utf16(latin, false).sliced(2), latin, "UTF-16 LE");
        row("UTF-16 BE without a mark", utf16(latin, true).sliced(2), latin, "UTF-16 BE");
        const QString russian = QStringLiteral(
            "\u0412\u0447\u0435\u0440\u0430 \u043C\u044B \u0434\u043E\u043B\u0433\u043E \u0433\u0443\u043B\u044F\u043B\u0438 "
            "\u043F\u043E \u0441\u0442\u0430\u0440\u043E\u043C\u0443 \u0433\u043E\u0440\u043E\u0434\u0443, \u0430 "
            "\u043F\u043E\u0442\u043E\u043C \u043F\u0438\u043B\u0438 \u0447\u0430\u0439 \u0441 "
            "\u0432\u0430\u0440\u0435\u043D\u044C\u0435\u043C \u0443 \u0431\u0430\u0431\u0443\u0448\u043A\u0438.\r\n")
                                    .repeated(6);
        row("windows-1251", inCharset(russian, "windows-1251"), russian, "windows-1251");
        row("KOI8-R", inCharset(russian, "KOI8-R"), russian, "KOI8-R");
        const QString japanese = QStringLiteral(
            "\u4ECA\u65E5\u306F\u3068\u3066\u3082\u3044\u3044\u5929\u6C17\u306A\u306E\u3067\u3001"
            "\u53CB\u9054\u3068\u4E00\u7DD2\u306B\u516C\u5712\u3078\u6563\u6B69\u306B\u884C\u304D\u307E\u3057\u305F\u3002\r\n")
                                     .repeated(8);
        row("Shift_JIS", inCharset(japanese, "Shift_JIS"), japanese, "Shift_JIS");
        row("EUC-JP", inCharset(japanese, "EUC-JP"), japanese, "EUC-JP");
    }

    void fileIsDecodedWithItsEncodingAndLineEndsAndWrittenBackTheSame()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QFETCH(LineEnd, lineEnd);
        QFETCH(QString, others);
        const QString path = m_folder.filePath(QStringLiteral("decoded.txt"));
        QVERIFY(writeBytes(path, bytes));

        DecodedTextFile fromFile;
        QVERIFY(readTextFile(path, fromFile).ok());
        DecodedTextFile fromBytes = decodeTextFile(bytes);
        for (const DecodedTextFile *decoded : {&fromFile, &fromBytes}) {
            QCOMPARE(encodingName(decoded->format).remove(QStringLiteral(" with BOM")), encoding);
            QVERIFY(decoded->text == (text.isEmpty() ? QString::fromUtf8(bytes) : text));
            QCOMPARE(decoded->format.lineEnd, lineEnd);
            QCOMPARE(describe(decoded->otherLineEnds), others);
        }

        // Written back in two pieces, which cut the first pair in two as a
        // store may, the text gives the same bytes, as many as were counted.
        const QString copy = m_folder.filePath(QStringLiteral("written.txt"));
        SafeFileWriter file;
        QVERIFY(file.open(copy).ok());
        EncodedTextWriter out(file, fromFile.format);
        EncodedTextWriter counter(fromFile.format);
        for (EncodedTextWriter *writer : {&out, &counter}) {
            if (fromFile.format.byteOrderMark)
                writer->writeByteOrderMark();
            writer->write(QStringView(fromFile.text).first(1));
            writer->write(QStringView(fromFile.text).sliced(1));
            writer->flush();
        }
        QVERIFY(file.commit().ok());
        QCOMPARE(qsizetype(counter.size()), bytes.size());
        const QByteArray written = readBytes(copy);
        const auto differ = std::mismatch(written.begin(), written.end(), bytes.begin(), bytes.end());
        QVERIFY2(written == bytes, qPrintable(QStringLiteral("first difference at byte %1").arg(differ.first - written.begin())));
    }

    void aSystemFileThatSaysItIsEmptyIsReadWhole()
    {
        QFile file(QStringLiteral("/proc/version"));
        if (!file.open(QIODevice::ReadOnly) || file.size() != 0)
            QSKIP("no file of the system that says it is empty");
        const QString expected = QString::fromUtf8(file.readAll());
        DecodedTextFile decoded;
        QVERIFY(readTextFile(file.fileName(), decoded).ok());
        QVERIFY(!expected.isEmpty());
        QCOMPARE(decoded.text, expected);
    }
};

QUILLORY_SUITE(TextFileFormats)
#include "tst_textfile.moc"
