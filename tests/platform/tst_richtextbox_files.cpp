#include "editor/filetext.h"
#include "editor/textdecode.h"
#include "platform/richtextbox.h"
#include "filebytes.h"
#include "freshsuite.h"
#include "suites.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <thread>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

class RichTextBoxFiles : public FreshStateSuite
{
    Q_OBJECT

private slots:
    void fileThatCannotBeReadOrWrittenGivesItsErrorAndChangesNothing_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("number");
        QTest::newRow("load a missing file") << false << QStringLiteral("nothing-here.txt") << ErrorNumber::FileNotFound;
        QTest::newRow("load from a missing folder") << false << QStringLiteral("no/such/file.txt") << ErrorNumber::PathNotFound;
        QTest::newRow("load a folder") << false << QStringLiteral("home") << ErrorNumber::PathFileAccessError;
        QTest::newRow("save into a missing folder") << true << QStringLiteral("no/such/file.txt") << ErrorNumber::PathNotFound;
        QTest::newRow("save over a folder") << true << QStringLiteral("home") << ErrorNumber::PathFileAccessError;
        QTest::newRow("save with no name") << true << QString() << ErrorNumber::PathNotFound;
#ifdef Q_OS_UNIX
        // Pipes are refused rather than waited on.
        QTest::newRow("load a pipe") << false << QStringLiteral("pipe") << ErrorNumber::PathFileAccessError;
        QTest::newRow("save into a pipe") << true << QStringLiteral("pipe") << ErrorNumber::PathFileAccessError;
        if (::geteuid() != 0) // root reads every file
            QTest::newRow("load a file the user may not read") << false << QStringLiteral("secret.txt") << ErrorNumber::PermissionDenied;
#endif
#ifdef Q_OS_LINUX
        // No one, root included, can get past these.
        QTest::newRow("load what fails to read") << false << QStringLiteral("/proc/self/mem") << ErrorNumber::DeviceIOError;
        QTest::newRow("load a device") << false << QStringLiteral("/dev/zero") << ErrorNumber::PathFileAccessError;
        QTest::newRow("save into a system folder") << true << QStringLiteral("/proc/quillory-test.txt") << ErrorNumber::PathFileAccessError;
        QTest::newRow("save to a full device") << true << QStringLiteral("/dev/full") << ErrorNumber::DiskFull;
#endif
    }

    void fileThatCannotBeReadOrWrittenGivesItsErrorAndChangesNothing()
    {
        QFETCH(bool, save);
        QFETCH(QString, path);
        QFETCH(int, number);
        const QString fullPath = path.startsWith(u'/') || path.isEmpty() ? path : fresh().path(path);
        QVERIFY(writeBytes(fresh().path(QStringLiteral("secret.txt")), "secret"));
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(QFile::encodeName(fresh().path(QStringLiteral("pipe"))).constData(), 0600), 0);
        QVERIFY(QFile::setPermissions(fresh().path(QStringLiteral("secret.txt")), QFile::WriteOwner));
#endif
        const QStringList files = QDir(fresh().folder()).entryList(QDir::Files | QDir::System);
        RichTextBox box;
        box.setSelText(QString(100000, u'x') + QStringLiteral("\r\nkeep me"));
        QSignalSpy changes(&box, &RichTextBox::Change);
        const Error error = save ? box.SaveFile(fullPath) : box.LoadFile(fullPath);

        QCOMPARE(error.number, number);
        QVERIFY2(error.description.contains(QDir::toNativeSeparators(fullPath)), qPrintable(error.description));
        QVERIFY(box.Text().endsWith(QStringLiteral("\r\nkeep me")));
        QCOMPARE(changes.count(), 0);
        QCOMPARE(QDir(fresh().folder()).entryList(QDir::Files | QDir::System), files);
    }

    // A big file shows while its index goes on (held here); whatever reads
    // the whole text waits for it, and bytes further on that its encoding
    // cannot read have it read whole, as a small file would be, unchanged.
    void aBigFileOpensBeforeItIsIndexedAndWhatReadsItWaitsForTheWhole_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<bool>("badBytes");
        for (const char *reading : {"save", "find", "text"})
            QTest::newRow(reading) << QString::fromLatin1(reading) << false;
        QTest::newRow("bytes not UTF-8 further on") << QStringLiteral("text") << true;
    }

    void aBigFileOpensBeforeItIsIndexedAndWhatReadsItWaitsForTheWhole()
    {
        QFETCH(QString, reading);
        QFETCH(bool, badBytes);
        QByteArray bytes;
        for (int line = 0; bytes.size() < 2'000'000; ++line)
            bytes += "line " + QByteArray::number(line) + " \xc3\xa9t\xc3\xa9\r\n";
        if (badBytes)
            bytes.insert(1'500'000, "\xff\xfe"); // past the first megabyte, which tells the encoding
        bytes += "needle";
        if (RichTextBox::keptInFileFrom() > bytes.size())
            QSKIP("runs where every file is read from the file itself");
        const QString path = fresh().path(QStringLiteral("big.txt"));
        QVERIFY(writeBytes(path, bytes));
        RichTextBox inMemory;
        DecodedTextFile decoded = decodeTextFile(bytes);
        inMemory.loadText(std::move(decoded.text), decoded.format);
        FileText::holdIndexesAt(400'000);
        RichTextBox box;
        QSignalSpy changes(&box, &RichTextBox::Change);
        QVERIFY(box.LoadFile(path).ok());
        QVERIFY(box.store().growing());
        std::jthread release([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            FileText::holdIndexesAt(-1);
        });
        if (reading == QLatin1String("save")) {
            QVERIFY(box.SaveFile(fresh().path(QStringLiteral("saved.txt"))).ok());
            QCOMPARE(readBytes(fresh().path(QStringLiteral("saved.txt"))), bytes);
        } else if (reading == QLatin1String("find")) {
            QCOMPARE(box.findText(QStringLiteral("needle"), 0, SearchDirection::Down, TextCase::Exact).start,
                     inMemory.textLength() - 6);
        } else {
            release.join();
            QTRY_VERIFY(!box.store().growing());
            QCOMPARE(box.Text(), inMemory.Text());
            QCOMPARE(box.fileEncoding(), inMemory.fileEncoding());
        }
        QCOMPARE(changes.count(), 1);
    }
};

QUILLORY_SUITE(RichTextBoxFiles)
#include "tst_richtextbox_files.moc"
