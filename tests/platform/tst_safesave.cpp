#include "editor/inplacefile.h"
#include "platform/richtextbox.h"
#include "editor/safefile.h"
#include "editor/textfile.h"
#include "filebytes.h"
#include "freshsuite.h"
#include "suites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTest>

#include <algorithm>
#include <functional>

#ifdef Q_OS_LINUX
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {


#ifdef Q_OS_LINUX
QString lines(const char *line, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QString::fromLatin1(line) + QString::number(i) + u'\n';
    return text;
}

// About size characters in lines of a hundred, which the edit control takes
// in far sooner than one long line.
QString textOfSize(qsizetype size)
{
    return (QString(99, u'n') + u'\n').repeated(size / 100);
}

constexpr uid_t nobody = 65534;
const timespec longAgo {1000000000, 0};

bool runningAsRoot() { return ::geteuid() == 0; }

// Root may make files in any folder, so an in-place save needs another user:
// nobody when the tests run as root, else the user running them.
bool becomeSaver()
{
    return !runningAsRoot() || (::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0);
}

void setModified(const QString &path, timespec when)
{
    const timespec times[2] = {when, when};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

ino_t inode(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

bool modifiedLongAgo(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && status.st_mtim.tv_sec == longAgo.tv_sec;
}

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
        if (m_pid <= 0)
            return "not started";
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

// A file the saver may write in a folder where the saver can make no new
// file, so that it is saved in place, and a cache folder of the saver's own.
class InPlaceScene
{
public:
    InPlaceScene(const FreshProgramState &fresh, const QByteArray &old)
        : folder(fresh.path(QStringLiteral("locked")))
        , file(folder + QStringLiteral("/precious.txt"))
        , cache(fresh.path(QStringLiteral("cache")))
        , m_previousCache(qgetenv("XDG_CACHE_HOME"))
    {
        QDir().mkpath(folder);
        QDir().mkpath(cache);
        if (!writeBytes(file, old))
            qWarning("cannot write %s", qPrintable(file));
        setModified(file, longAgo);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
        if (runningAsRoot()) {
            ::chmod(QFile::encodeName(fresh.folder()).constData(), 0755);
            ::chown(QFile::encodeName(file).constData(), nobody, nobody);
            ::chown(QFile::encodeName(cache).constData(), nobody, nobody);
        } else {
            ::chmod(QFile::encodeName(folder).constData(), 0555);
        }
    }
    ~InPlaceScene()
    {
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        ::chmod(QFile::encodeName(cache).constData(), 0755);
        if (m_previousCache.isEmpty())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", m_previousCache);
    }

    // The copies of old text in the recovery folder, without their notes.
    QStringList copies() const
    {
        QStringList names = QDir(recoveryFolder()).entryList(QDir::Files);
        names.removeIf([](const QString &name) { return name.endsWith(QStringLiteral(".note")); });
        return names;
    }

    const QString folder;
    const QString file;
    const QString cache;

private:
    QByteArray m_previousCache;
};
#endif

} // namespace

class InPlaceSave : public FreshStateSuite
{
    Q_OBJECT

private slots:

#ifndef Q_OS_LINUX
    void initTestCase() { QSKIP("in-place saves are driven through Linux users, limits and devices"); }
#else
    void fileInAFolderThatTakesNoNewFileIsSavedInPlace_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("longer text") << textOfSize(3 << 20);
        QTest::newRow("shorter text") << QStringLiteral("short");
        QTest::newRow("empty text") << QString();
    }

    void fileInAFolderThatTakesNoNewFileIsSavedInPlace()
    {
        QFETCH(QString, text);
        const InPlaceScene scene(fresh(), lines("old line ", 100000).toUtf8());
        const ino_t before = inode(scene.file);
        RichTextBox box;
        box.setSelText(text);
        const QByteArray report = Child([&] {
            return becomeSaver() ? QByteArray::number(box.SaveFile(scene.file).number) : "no saver";
        }).report();

        QCOMPARE(report, QByteArray("0"));
        QCOMPARE(readBytes(scene.file), text.toUtf8());
        QCOMPARE(inode(scene.file), before);
        QCOMPARE(scene.copies(), QStringList());
    }

    // Before a byte changes, the save finds that the text cannot fit, or
    // that no copy of the old text can be kept.
    void inPlaceSaveThatCannotBeDoneSafelyLeavesTheFileUntouched_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<int>("number");
        QTest::newRow("full device") << QStringLiteral("device") << ErrorNumber::DiskFull;
        QTest::newRow("file size limit") << QStringLiteral("limit") << ErrorNumber::DeviceIOError;
        QTest::newRow("no room for the copy") << QStringLiteral("cache") << ErrorNumber::PathFileAccessError;
    }

    void inPlaceSaveThatCannotBeDoneSafelyLeavesTheFileUntouched()
    {
        QFETCH(QString, obstacle);
        QFETCH(int, number);
        if (obstacle == u"device" && !runningAsRoot())
            QSKIP("mounting a small device takes root");
        const QByteArray old(1 << 20, 'o');
        const InPlaceScene scene(fresh(), old);
        if (obstacle == u"cache")
            ::chmod(QFile::encodeName(scene.cache).constData(), 0555);
        RichTextBox box;
        box.setSelText(textOfSize(3 << 20));

        const QByteArray report = Child([&]() -> QByteArray {
            const QByteArray path = QFile::encodeName(scene.folder);
            if (obstacle == u"device") {
                // A 2 MB device of the child's own, seen by no one else.
                if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
                    || ::mount("tmpfs", path.constData(), "tmpfs", 0, "size=2m,mode=0755") != 0
                    || !writeBytes(scene.file, old) || ::chown(QFile::encodeName(scene.file).constData(), nobody, nobody) != 0)
                    return "no small device";
                setModified(scene.file, longAgo);
            }
            const rlimit limit {1 << 20, RLIM_INFINITY};
            if (obstacle == u"limit" && ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return "no limit";
            if (!becomeSaver())
                return "no saver";
            const Error error = box.SaveFile(scene.file);
            return "error " + QByteArray::number(error.number) + (readBytes(scene.file) == old ? " old text" : " changed text")
                   + (modifiedLongAgo(scene.file) ? " untouched" : " touched");
        }).report();

        QCOMPARE(report, "error " + QByteArray::number(number) + " old text untouched");
        QCOMPARE(scene.copies(), QStringList());
    }

    void writeThatFailsHalfWayInPlaceIsUndoneFromTheCopy()
    {
        const QByteArray old = lines("old line ", 10000).toUtf8();
        const InPlaceScene scene(fresh(), old);
        const QByteArray report = Child([&]() -> QByteArray {
            const rlimit limit {1 << 20, RLIM_INFINITY};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || !becomeSaver())
                return "no saver";
            // Told too small a size, the writer reserves too little and
            // runs into the limit only after it has overwritten the file.
            SafeFileWriter file;
            const Error opened = fileError(file.open(scene.file));
            const Error reserved = fileError(file.reserve(10));
            file.write(QByteArray(2 << 20, 'n'));
            return QByteArray::number(opened.number) + ' ' + QByteArray::number(reserved.number) + ' '
                   + QByteArray::number(fileError(file.commit()).number);
        }).report();

        QCOMPARE(report, "0 0 " + QByteArray::number(ErrorNumber::DeviceIOError));
        QCOMPARE(readBytes(scene.file), old);
        QCOMPARE(scene.copies(), QStringList());
    }

    // Killed at any moment, the save leaves the old text, the new one, or a
    // copy of the old one that start-up reports.
    void killedInPlaceSaveLeavesTheOldTextRecoverable()
    {
        const QByteArray old = lines("old line ", 200000).toUtf8();
        const QString text = textOfSize(8 << 20);
        const InPlaceScene scene(fresh(), old);
        RichTextBox box;
        box.setSelText(text);
        int cutShort = 0;
        for (int round = 0; round < 5; ++round) {
            QVERIFY(writeBytes(scene.file, old));
            QDir(recoveryFolder()).removeRecursively();
            Child child([&] { return becomeSaver() ? QByteArray::number(box.SaveFile(scene.file).number) : "no saver"; });
            QVERIFY(child.pid() > 0);
            // The save is killed as soon as its first new bytes show.
            QFile watched(scene.file);
            QVERIFY(watched.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
            siginfo_t ended {};
            while (::waitid(P_PID, id_t(child.pid()), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == 0
                   && watched.seek(0) && watched.peek(3) == "old") { }
            ::kill(child.pid(), SIGKILL);
            child.report();

            const QByteArray bytes = readBytes(scene.file);
            if (bytes == old || bytes == text.toUtf8())
                continue;
            ++cutShort;
            const QStringList copies = scene.copies();
            QCOMPARE(copies.size(), 1);
            QVERIFY2(copies.front().startsWith(QStringLiteral("precious ")), qPrintable(copies.front()));
            const QString copy = QDir(recoveryFolder()).filePath(copies.front());
            QCOMPARE(readBytes(copy), old);
            QCOMPARE(leftRecoveryCopies(),
                     QStringList {QStringLiteral("the old text of %1 is kept in %2").arg(scene.file, copy)});
        }
        QVERIFY2(cutShort > 0, "no kill landed while the file was being written");
    }
#endif
};

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
        // An edit taken back leaves the text split where it was made, here
        // between the two halves of a pair.
        QVERIFY(box.setSelStart(1).ok());
        box.setSelText(QStringLiteral("x"));
        QVERIFY(box.setSelStart(1).ok());
        QVERIFY(box.setSelLength(1).ok());
        box.setSelText(QString());
        QVERIFY(box.SaveFile(copy).ok());
        const QByteArray saved = readBytes(copy);
        const auto differ = std::mismatch(saved.begin(), saved.end(), bytes.begin(), bytes.end());
        QVERIFY2(saved == bytes, qPrintable(QStringLiteral("first difference at byte %1").arg(differ.first - saved.begin())));
    }
};

QUILLORY_SUITE(InPlaceSave)
QUILLORY_SUITE(SafeSave)

#include "tst_safesave.moc"
