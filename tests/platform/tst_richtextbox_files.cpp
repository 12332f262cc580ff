#include "platform/richtextbox.h"
#include "filebytes.h"
#include "freshsuite.h"
#include "suites.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

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
};

QUILLORY_SUITE(RichTextBoxFiles)
#include "tst_richtextbox_files.moc"
