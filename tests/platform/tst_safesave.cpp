#include "platform/richtextbox.h"
#include "platform/textfile.h"
#include "freshsuite.h"
#include "suites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTextCursor>
#include <QTest>

#include <algorithm>
#include <functional>

#ifdef Q_OS_LINUX
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// About size characters in lines of a hundred, which the edit control takes
// in far sooner than one long line.
QString textOfSize(qsizetype size)
{
    return (QString(99, u'n') + u'\n').repeated(size / 100);
}

#ifdef Q_OS_LINUX
constexpr uid_t nobody = 65534;

bool runningAsRoot() { return ::geteuid() == 0; }

// A forked copy of the tests that does one piece of work and says what it
// found; it never returns into Qt Test.
class Child
{
public:
    explicit Child(const std::function<QByteArray()> &work)
    {
        int ends[2];
        if (::pipe(ends) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ends[0]);
            const QByteArray report = work();
            [[maybe_unused]] const auto written = ::write(ends[1], report.constData(), size_t(report.size()));
            ::_exit(0);
        }
        ::close(ends[1]);
        m_pipe = ends[0];
    }

    pid_t pid() const { return m_pid; }

    // What the child said, or how it ended when it could not say.
    QByteArray report()
    {
        QByteArray said;
        char buffer[256];
        for (ssize_t n; (n = ::read(m_pipe, buffer, sizeof buffer)) > 0;)
            said.append(buffer, n);
        ::close(m_pipe);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        if (WIFSIGNALED(status))
            said += " (ended by signal " + QByteArray::number(WTERMSIG(status)) + ')';
        return said;
    }

private:
    pid_t m_pid = -1;
    int m_pipe = -1;
};
#endif

} // namespace

class SafeSave : public FreshStateSuite
{
    Q_OBJECT

private slots:
    void rootSavingSomeoneElsesFileKeepsItsOwnerGroupAndMode()
    {
#ifndef Q_OS_LINUX
        QSKIP("owners are checked on Linux");
#else
        if (!runningAsRoot())
            QSKIP("only root can give a file to someone else");
        const QString path = fresh().path(QStringLiteral("theirs.txt"));
        QVERIFY(writeBytes(path, "theirs"));
        QCOMPARE(::chown(QFile::encodeName(path).constData(), nobody, nobody), 0);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0640), 0);
        RichTextBox box;
        box.setSelText(QStringLiteral("edited by root"));
        QVERIFY(box.SaveFile(path).ok());

        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
        QCOMPARE(status.st_uid, nobody);
        QCOMPARE(status.st_gid, gid_t(nobody));
        QCOMPARE(status.st_mode & 07777, mode_t(0640));
        QCOMPARE(readBytes(path), QByteArray("edited by root"));
#endif
    }

    void saveIntoAFolderThatVanishedFailsAndCreatesNothing()
    {
        const QString folder = fresh().path(QStringLiteral("gone"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QDir().rmdir(folder));
        RichTextBox box;
        box.setSelText(QStringLiteral("text"));
        QCOMPARE(box.SaveFile(folder + QStringLiteral("/x.txt")).number, ErrorNumber::PathNotFound);
        QVERIFY(!QFileInfo::exists(folder));

        // The folder goes while the text is being written.
        QVERIFY(QDir().mkpath(folder));
        SafeFileWriter file;
        QVERIFY(file.open(folder + QStringLiteral("/x.txt")).ok());
        file.write("text");
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(file.commit().failed());
        QVERIFY(!QFileInfo::exists(folder));
    }

    void saveBeyondTheFileSizeLimitFailsInsteadOfEndingTheProgram()
    {
#ifndef Q_OS_LINUX
        QSKIP("the file size limit is a Unix resource limit");
#else
        const QString path = fresh().path(QStringLiteral("limited.txt"));
        QVERIFY(writeBytes(path, "old"));
        RichTextBox box;
        box.setSelText(textOfSize(3 << 20));
        const QByteArray report = Child([&] {
            const rlimit limit {1 << 20, RLIM_INFINITY};
            ::signal(SIGXFSZ, SIG_DFL);
            return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 ? QByteArray::number(box.SaveFile(path).number) : "no limit";
        }).report();
        QCOMPARE(report, QByteArray::number(ErrorNumber::DeviceIOError));
        QCOMPARE(readBytes(path), QByteArray("old"));
        QCOMPARE(QDir(fresh().folder()).entryList(QDir::Files), QStringList {QStringLiteral("limited.txt")});
#endif
    }

    void textFullOfEmojiComesBackByteForByte_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::newRow("UTF-8") << int(QStringConverter::Utf8);
        QTest::newRow("UTF-16 LE") << int(QStringConverter::Utf16LE);
        QTest::newRow("UTF-16 BE") << int(QStringConverter::Utf16BE);
    }

    void textFullOfEmojiComesBackByteForByte()
    {
        QFETCH(int, encoding);
        // The second line is longer than the writer's chunks, so that a pair
        // meets a chunk's end; the others are shifted by a character.
        const QString emoji = QStringLiteral("\U0001F600");
        QString text = emoji.repeated(4) + u'\n' + emoji.repeated(720000);
        for (int line = 0; line < 3; ++line)
            text += QStringLiteral("\nx") + emoji.repeated(650000);
        const auto flags = encoding == QStringConverter::Utf8 ? QStringConverter::Flag::Default : QStringConverter::Flag::WriteBom;
        const QByteArray bytes = QStringEncoder(QStringConverter::Encoding(encoding), flags).encode(text);
        QVERIFY(bytes.size() >= 10000000);
        const QString original = fresh().path(QStringLiteral("emoji.txt"));
        const QString copy = fresh().path(QStringLiteral("copy.txt"));
        QVERIFY(writeBytes(original, bytes));

        RichTextBox box;
        QVERIFY(box.LoadFile(original).ok());
        // A format given to part of the text splits the document's storage
        // there, here between the two halves of pairs.
        QTextCursor cursor(box.document());
        cursor.setPosition(1);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        cursor.mergeCharFormat(bold);
        QVERIFY(box.SaveFile(copy).ok());
        const QByteArray saved = readBytes(copy);
        const auto differ = std::mismatch(saved.begin(), saved.end(), bytes.begin(), bytes.end());
        QVERIFY2(saved == bytes, qPrintable(QStringLiteral("first difference at byte %1").arg(differ.first - saved.begin())));
    }
};

QUILLORY_SUITE(SafeSave)

#include "tst_safesave.moc"
