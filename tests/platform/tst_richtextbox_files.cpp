#include "platform/richtextbox.h"
#include "platform/testseam.h"
#include "freshsuite.h"
#include "suites.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include "filebytes.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {


bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

} // namespace

class RichTextBoxFiles : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void fileLoadedAndSavedAgainIsTheSameBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-8 without BOM") << QByteArray("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC 5\r\nzweite Zeile\r\n");
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF" "caf\xC3\xA9\r\n");
        QTest::newRow("UTF-8 with two BOMs") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF" "x");
        QTest::newRow("UTF-8 noncharacters and astral") << QByteArray("\xEF\xBF\xBE\xEF\xBF\xBF \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF");
        QTest::newRow("UTF-16 LE") << utf16(QStringLiteral("H\u00E9llo\r\n\u4E16\u754C\r\n") + QChar(0xD83D) + QChar(0xDE00), false);
        QTest::newRow("UTF-16 BE") << utf16(QStringLiteral("H\u00E9llo\nw\u00F6rld"), true);
        QTest::newRow("UTF-16 with an unpaired surrogate") << utf16(QStringLiteral("a") + QChar(0xDC00) + QStringLiteral("b\r\n"), false);
        static const char oddUtf16[] = "\xFF\xFE" "a\x00" "b";
        QTest::newRow("UTF-16 LE BOM, odd length") << QByteArray(oddUtf16, sizeof oddUtf16 - 1);
        QTest::newRow("Windows-1252 accents") << QByteArray("caf\xE9 na\xEFve \xC0 la \x80 5\r\n\x93quoted\x94\r\n");
        QByteArray everyByte;
        for (int b = 0; b < 256; ++b)
            everyByte.append(char(b));
        QTest::newRow("every byte value") << everyByte;
        QByteArray high;
        for (int b = 0x80; b < 0x100; ++b)
            high.append(char(b));
        QTest::newRow("bytes 0x80 to 0xFF") << high;
        QTest::newRow("CR LF") << QByteArray("one\r\ntwo\r\nthree\r\n");
        QTest::newRow("LF") << QByteArray("one\ntwo\nthree\n");
        QTest::newRow("lone CR") << QByteArray("one\rtwo\rthree\r");
        QTest::newRow("mixed line ends") << QByteArray("a\r\nb\nc\rd\r\r\ne\n\r\n\n");
        QTest::newRow("no final line end") << QByteArray("last line has no end");
        QTest::newRow("only line ends") << QByteArray("\r\n\r\n\n\r");
        QTest::newRow("empty") << QByteArray();
        static const char tabsAndNul[] = "a\tb\t\tc\0d\0\r\n";
        QTest::newRow("tabs and NUL") << QByteArray(tabsAndNul, sizeof tabsAndNul - 1);
        QTest::newRow("no-break space and line separator") << QByteArray("a\xC2\xA0" "b\xE2\x80\xA8" "c\r\n");
        QTest::newRow("paragraph separator and U+FDD0, U+FDD1")
            << QByteArray("a\xE2\x80\xA9" "b\xEF\xB7\x90" "c\xEF\xB7\x91" "d\r\ne\r\n");
        QTest::newRow("5 MB single line") << QByteArray(5 * 1024 * 1024, 'x');
    }

    void fileLoadedAndSavedAgainIsTheSameBytes()
    {
        QFETCH(QByteArray, bytes);
        const QString original = fresh().path(QStringLiteral("original.txt"));
        const QString copy = fresh().path(QStringLiteral("copy.txt"));
        QVERIFY(writeBytes(original, bytes));

        RichTextBox box;
        QVERIFY(box.LoadFile(original).ok());
        QVERIFY(box.SaveFile(copy).ok());
        QCOMPARE(readBytes(copy), bytes);
        // Saving over the file it came from changes nothing either.
        QVERIFY(box.SaveFile(original).ok());
        QCOMPARE(readBytes(original), bytes);
    }

    void textShowsEveryLineBreakAsCrLf()
    {
        const QString path = fresh().path(QStringLiteral("mixed.txt"));
        QVERIFY(writeBytes(path, QByteArray("a\nb\rc\r\nd\xE2\x80\xA9" "e\xE2\x80\xA8" "f\xC2\xA0")));
        RichTextBox box;
        QVERIFY(box.LoadFile(path).ok());
        const QString expected = QStringLiteral("a\r\nb\r\nc\r\nd\r\ne\u2028f\u00A0");
        QCOMPARE(box.Text(), expected);
        QCOMPARE(box.textLength(), expected.size());
    }

    void windows1252FileShowsItsLetters()
    {
        const QString path = fresh().path(QStringLiteral("ansi.txt"));
        QVERIFY(writeBytes(path, QByteArray("caf\xE9 \x80 \x93q\x94 \x81")));
        RichTextBox box;
        QVERIFY(box.LoadFile(path).ok());
        QCOMPARE(box.Text(), QStringLiteral("caf\u00E9 \u20AC \u201Cq\u201D \u0081"));
        QCOMPARE(box.fileFormat().encoding, TextEncoding::Windows1252);
    }

    void eightBitFileWithATypedCharacterItCannotHoldIsSavedOnlyAsUtf8WhenSaidSo()
    {
        const QString path = fresh().path(QStringLiteral("ansi.txt"));
        QVERIFY(writeBytes(path, QByteArray("caf\xE9\r\n")));
        RichTextBox box;
        QVERIFY(box.LoadFile(path).ok());
        QVERIFY(box.setSelStart(box.textLength()).ok());
        box.setSelText(QStringLiteral("\u4E16\u754C"));
        QVERIFY(!box.fitsFileEncoding());
        QCOMPARE(box.SaveFile(path).number, ErrorNumber::InvalidPropertyValue);
        QCOMPARE(readBytes(path), QByteArray("caf\xE9\r\n"));
        QVERIFY(box.SaveFiles({path}, RichTextFileType::Text, false, SaveEncoding::Utf8).constFirst().ok());
        QCOMPARE(readBytes(path), QByteArray("caf\xC3\xA9\r\n\xE4\xB8\x96\xE7\x95\x8C"));
        QCOMPARE(box.fileFormat().encoding, TextEncoding::Utf8);
    }

    void newDocumentIsSavedAsUtf8WithThePlatformLineEnd()
    {
        RichTextBox box;
        box.setSelText(QStringLiteral("\u00E9t\u00E9\r\nhiver"));
        const QString path = fresh().path(QStringLiteral("new.txt"));
        QVERIFY(box.SaveFile(path).ok());
        const QByteArray lineEnd = platformLineEnd() == LineEnd::CrLf ? "\r\n" : "\n";
        QCOMPARE(readBytes(path), QByteArray("\xC3\xA9t\xC3\xA9") + lineEnd + "hiver");
    }

    void newLinesTakeTheFilesMostCommonLineEnd()
    {
        const QString path = fresh().path(QStringLiteral("lf.txt"));
        QVERIFY(writeBytes(path, QByteArray("one\ntwo\r\nthree\nfour\n")));
        RichTextBox box;
        QVERIFY(box.LoadFile(path).ok());
        QVERIFY(box.setSelStart(box.textLength()).ok());
        box.setSelText(QStringLiteral("five\r\nsix"));
        QVERIFY(box.SaveFile(path).ok());
        QCOMPARE(readBytes(path), QByteArray("one\ntwo\r\nthree\nfour\nfive\nsix"));
    }

    void splittingAndJoiningLinesKeepsEachLinesOwnEnd()
    {
        const QString path = fresh().path(QStringLiteral("mixed.txt"));
        QVERIFY(writeBytes(path, QByteArray("aa\r\nbbbb\ncc\r\ndd\r\n")));
        RichTextBox box;
        QVERIFY(box.LoadFile(path).ok());

        // Enter in the middle of "bbbb", whose line ends in LF alone.
        QVERIFY(box.setSelStart(box.Text().indexOf(QStringLiteral("bbbb")) + 2).ok());
        QTest::keyClick(&box, Qt::Key_Return);
        QVERIFY(box.SaveFile(path).ok());
        QCOMPARE(readBytes(path), QByteArray("aa\r\nbb\r\nbb\ncc\r\ndd\r\n"));

        // Deleting the LF after the second "bb" joins it to "cc", which ends in CR LF.
        QVERIFY(box.setSelStart(box.Text().indexOf(QStringLiteral("cc")) - 2).ok());
        QVERIFY(box.setSelLength(2).ok());
        box.setSelText(QString());
        QVERIFY(box.SaveFile(path).ok());
        QCOMPARE(readBytes(path), QByteArray("aa\r\nbb\r\nbbcc\r\ndd\r\n"));
    }

    void undoAndRedoGiveBackEachLinesOwnEnd()
    {
        const QString path = fresh().path(QStringLiteral("mostly-crlf.txt"));
        const QByteArray bytes("one\r\ntwo\nthree\r\nfour\r\n");
        QVERIFY(writeBytes(path, bytes));
        RichTextBox box;
        QVERIFY(box.LoadFile(path).ok());
        const auto saved = [&] {
            return box.SaveFile(path).ok() ? readBytes(path) : QByteArray("save failed");
        };

        // Backspace at the start of "three" joins it to "two", whose line
        // ended in LF alone; undoing the join gives the LF back.
        QVERIFY(box.setSelStart(box.Text().indexOf(QStringLiteral("three"))).ok());
        QTest::keyClick(&box, Qt::Key_Backspace);
        QCOMPARE(saved(), QByteArray("one\r\ntwothree\r\nfour\r\n"));
        SendMessageA(box.hwnd(), EM_UNDO);
        QCOMPARE(saved(), bytes);
        SendMessageA(box.hwnd(), EM_UNDO);
        QCOMPARE(saved(), QByteArray("one\r\ntwothree\r\nfour\r\n"));
        SendMessageA(box.hwnd(), EM_UNDO);

        // Lines pasted or typed into the LF line are new ones; the LF stays
        // with the line that ends where "two" ended, before and after undo.
        QVERIFY(box.setSelStart(box.Text().indexOf(QStringLiteral("two")) + 1).ok());
        QVERIFY(box.setSelLength(1).ok());
        box.setSelText(QStringLiteral("A\nB\r\nC"));
        QCOMPARE(saved(), QByteArray("one\r\ntA\r\nB\r\nCo\nthree\r\nfour\r\n"));
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(saved(), QByteArray("one\r\ntA\r\nB\r\nC\r\no\nthree\r\nfour\r\n"));
        SendMessageA(box.hwnd(), EM_UNDO);
        SendMessageA(box.hwnd(), EM_UNDO);
        QCOMPARE(saved(), QByteArray("one\r\ntA\r\nB\r\nC\r\no\nthree\r\nfour\r\n"));

        // A selection across several lines replaced and the replacement
        // undone: every line end comes back where it was.
        SendMessageA(box.hwnd(), EM_EMPTYUNDOBUFFER);
        const QString text = box.Text();
        QVERIFY(box.setSelStart(1).ok());
        QVERIFY(box.setSelLength(text.indexOf(QStringLiteral("hree")) - 1).ok());
        QApplication::clipboard()->setText(QStringLiteral("pasted\nlines"));
        box.paste();
        QCOMPARE(saved(), QByteArray("opasted\r\nlineshree\r\nfour\r\n"));
        SendMessageA(box.hwnd(), EM_UNDO);
        QCOMPARE(saved(), QByteArray("one\r\ntA\r\nB\r\nC\r\no\nthree\r\nfour\r\n"));
    }

    void fontChangesLeaveTheLineEndsAlone()
    {
        const QString path = fresh().path(QStringLiteral("mixed.txt"));
        const QByteArray bytes("a\r\nb\nc\rd\r\n");
        QVERIFY(writeBytes(path, bytes));
        RichTextBox box;
        QVERIFY(box.LoadFile(path).ok());
        box.setFontName(QStringLiteral("Fixedsys"));
        QVERIFY(box.setFontSize(20).ok());
        QVERIFY(box.setRightMargin(0).ok());
        QVERIFY(box.SaveFile(path).ok());
        QCOMPARE(readBytes(path), bytes);
    }

    void saveKeepsTheFilesPermissionsAndFollowsALink()
    {
#ifndef Q_OS_UNIX
        QSKIP("permissions and links are Unix here");
#else
        const QString target = fresh().path(QStringLiteral("target.txt"));
        const QString link = fresh().path(QStringLiteral("link.txt"));
        QVERIFY(writeBytes(target, "old"));
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(QFile::link(target, link));

        RichTextBox box;
        box.setSelText(QStringLiteral("new"));
        QVERIFY(box.SaveFile(link).ok());
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readBytes(target), QByteArray("new"));
        const QFile::Permissions modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                            | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
                                            | QFile::ExeOther;
        QCOMPARE(QFile::permissions(target) & modeBits, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
#endif
    }

    void saveThatCannotCreateTheFileFailsAndLeavesNothingBehind_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("number");
        QTest::newRow("folder that does not exist") << QStringLiteral("missing/folder/x.txt") << ErrorNumber::PathNotFound;
        QTest::newRow("a folder") << QStringLiteral(".") << ErrorNumber::PathFileAccessError;
        QTest::newRow("empty path") << QString() << ErrorNumber::PathNotFound;
#ifdef Q_OS_LINUX
        // No one, root included, can create a file here.
        QTest::newRow("read-only folder of the system") << QStringLiteral("/proc/quillory-test.txt") << ErrorNumber::PathFileAccessError;
#endif
    }

    void saveThatCannotCreateTheFileFailsAndLeavesNothingBehind()
    {
        QFETCH(QString, path);
        QFETCH(int, number);
        const QString fullPath = path.startsWith(u'/') || path.isEmpty() ? path : fresh().path(path);
        RichTextBox box;
        box.setSelText(QStringLiteral("text"));
        const Error error = box.SaveFile(fullPath);
        QCOMPARE(error.number, number);
        if (!path.isEmpty())
            QVERIFY2(error.description.contains(QDir::toNativeSeparators(fullPath)), qPrintable(error.description));
        QCOMPARE(QDir(fresh().folder()).entryList(QDir::Files), QStringList());
    }

    void saveIntoAReadOnlyFolderFailsAndKeepsTheOldFile()
    {
        if (runningAsRoot())
            QSKIP("root writes into read-only folders; the system folder case covers it");
        const QString folder = fresh().path(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/old.txt");
        QVERIFY(writeBytes(path, "old"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));

        RichTextBox box;
        box.setSelText(QStringLiteral("new"));
        const Error error = box.SaveFile(path);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(error.failed());
        QCOMPARE(readBytes(path), QByteArray("old"));
    }

    void saveToAFullDeviceFails()
    {
#ifndef Q_OS_LINUX
        QSKIP("no full device here");
#else
        RichTextBox box;
        box.setSelText(QString(100000, u'x'));
        const Error error = box.SaveFile(QStringLiteral("/dev/full"));
        QCOMPARE(error.number, ErrorNumber::DiskFull);
        QVERIFY(QFileInfo(QStringLiteral("/dev/full")).exists());
        QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile());
#endif
    }

    void writeThatFailsHalfWayLeavesThePreviousFileUnchanged()
    {
#ifndef Q_OS_UNIX
        QSKIP("the file size limit is a Unix resource limit");
#else
        const QString path = fresh().path(QStringLiteral("precious.txt"));
        QVERIFY(writeBytes(path, "the previous content\r\n"));
        RichTextBox box;
        box.setSelText(QString(3 * 1024 * 1024, u'y'));

        // A limit on the size of files makes the write stop half-way, as a
        // full disk would.
        rlimit previous {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
        rlimit small = previous;
        small.rlim_cur = 1024 * 1024;
        auto *previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const Error error = box.SaveFile(path);
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(error.failed());
        QCOMPARE(readBytes(path), QByteArray("the previous content\r\n"));
        QCOMPARE(QDir(fresh().folder()).entryList(QDir::Files), QStringList {QStringLiteral("precious.txt")});
#endif
    }

    void loadThatFailsLeavesTheTextAsItWas_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("number");
        QTest::newRow("missing file") << QStringLiteral("nothing-here.txt") << ErrorNumber::FileNotFound;
        QTest::newRow("missing folder") << QStringLiteral("no/such/file.txt") << ErrorNumber::PathNotFound;
        QTest::newRow("a folder") << QStringLiteral("home") << ErrorNumber::PathFileAccessError;
#ifdef Q_OS_LINUX
        // Opens, but reading it fails.
        QTest::newRow("unreadable file") << QStringLiteral("/proc/self/mem") << ErrorNumber::DeviceIOError;
        QTest::newRow("a device") << QStringLiteral("/dev/zero") << ErrorNumber::PathFileAccessError;
#endif
    }

    void loadThatFailsLeavesTheTextAsItWas()
    {
        QFETCH(QString, path);
        QFETCH(int, number);
        const QString fullPath = path.startsWith(u'/') ? path : fresh().path(path);
        RichTextBox box;
        box.setSelText(QStringLiteral("keep\r\nme"));
        QSignalSpy changes(&box, &RichTextBox::Change);
        const Error error = box.LoadFile(fullPath);
        QCOMPARE(error.number, number);
        QVERIFY2(error.description.contains(QDir::toNativeSeparators(fullPath)), qPrintable(error.description));
        QCOMPARE(box.Text(), QStringLiteral("keep\r\nme"));
        QCOMPARE(changes.count(), 0);
    }

    void loadOfAFileWithoutReadPermissionFails()
    {
        if (runningAsRoot())
            QSKIP("root reads every file; /proc/self/mem covers a failing read");
        const QString path = fresh().path(QStringLiteral("secret.txt"));
        QVERIFY(writeBytes(path, "secret"));
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        RichTextBox box;
        box.setSelText(QStringLiteral("keep"));
        QCOMPARE(box.LoadFile(path).number, ErrorNumber::PermissionDenied);
        QCOMPARE(box.Text(), QStringLiteral("keep"));
    }

    void loadOfAPipeIsRefusedRatherThanWaitedOn()
    {
#ifndef Q_OS_UNIX
        QSKIP("no named pipes here");
#else
        const QString path = fresh().path(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        RichTextBox box;
        QCOMPARE(box.LoadFile(path).number, ErrorNumber::PathFileAccessError);
        QCOMPARE(box.SaveFile(path).number, ErrorNumber::PathFileAccessError);
#endif
    }

    void loadReplacesTheTextRaisesChangeAndEmptiesUndo()
    {
        const QString path = fresh().path(QStringLiteral("a.txt"));
        QVERIFY(writeBytes(path, "from the file"));
        RichTextBox box;
        box.setSelText(QStringLiteral("typed"));
        QSignalSpy changes(&box, &RichTextBox::Change);
        QVERIFY(box.LoadFile(path).ok());
        QCOMPARE(box.Text(), QStringLiteral("from the file"));
        QVERIFY(changes.count() >= 1);
        QCOMPARE(SendMessageA(box.hwnd(), EM_CANUNDO), 0);
    }

    void onlyPlainTextFilesAreRead()
    {
        const QString path = fresh().path(QStringLiteral("a.rtf"));
        QVERIFY(writeBytes(path, "{\\rtf1 x}"));
        RichTextBox box;
        QCOMPARE(box.LoadFile(path, RichTextFileType::RichText).number, ErrorNumber::InvalidPropertyValue);
        QVERIFY(box.LoadFile(path, RichTextFileType::Text).ok());
        QCOMPARE(box.Text(), QStringLiteral("{\\rtf1 x}"));
    }
};

QUILLORY_SUITE(RichTextBoxFiles)
#include "tst_richtextbox_files.moc"
