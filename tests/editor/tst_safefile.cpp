#include "editor/inplacefile.h"
#include "editor/safefile.h"
#include "filebytes.h"
#include "suites.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

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

namespace {

constexpr uid_t nobody = 65534;
constexpr time_t longAgo = 1000000000;

bool runningAsRoot() { return ::geteuid() == 0; }

struct stat statusOf(const QString &path)
{
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status;
}

// About size bytes of text in lines of a hundred.
QByteArray linesOf(qsizetype size)
{
    return (QByteArray(99, 'n') + '\n').repeated(size / 100);
}

// Saves bytes as the program does: the size first, for a file written in
// place (announced, when given, instead of the true size), then a piece at a
// time.
FileError save(const QString &path, const QByteArray &bytes, qint64 announced = -1)
{
    SafeFileWriter file;
    FileError error = file.open(path);
    if (error.ok())
        error = file.reserve(announced < 0 ? bytes.size() : announced);
    if (error.failed())
        return error;
    for (qsizetype at = 0; at < bytes.size(); at += 1 << 16)
        file.write(QByteArrayView(bytes).sliced(at, qMin(bytes.size() - at, qsizetype(1 << 16))));
    return file.commit();
}

// The modes of the files this process has open in folder, in octal.
QStringList modesOfFilesOpenIn(const QString &folder)
{
    QStringList modes;
    const QString inFolder = QFileInfo(folder).canonicalFilePath() + u'/';
    for (const QFileInfo &handle : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System)) {
        if (handle.symLinkTarget().startsWith(inFolder))
            modes << QString::number(statusOf(handle.filePath()).st_mode & 07777, 8);
    }
    return modes;
}

QByteArray outcome(const FileError &error)
{
    return "error kind " + QByteArray::number(int(error.kind));
}

// Runs work in a forked copy of the tests, which never returns into Qt
// Test, and gives what it said, or how it ended when it could not say;
// meanwhile, when given, watches it from here.
QByteArray inChild(const std::function<QByteArray()> &work, const std::function<void(pid_t)> &meanwhile = {})
{
    int ends[2];
    if (::pipe(ends) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const QByteArray report = work();
        [[maybe_unused]] const auto written = ::write(ends[1], report.constData(), size_t(report.size()));
        ::_exit(0);
    }
    ::close(ends[1]);
    if (pid > 0 && meanwhile)
        meanwhile(pid);
    QByteArray said;
    char buffer[256];
    for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, n);
    ::close(ends[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return "not started";
    if (WIFSIGNALED(status))
        said += " (ended by signal " + QByteArray::number(WTERMSIG(status)) + ')';
    return said;
}

// A file, last changed long ago, in a folder of its own, and a cache folder
// for the copies of old texts. A locked folder takes no new file from the
// saver, so that the file is saved in place; the saver is then nobody when
// the tests run as root (root may make files anywhere).
class Scene
{
    QTemporaryDir m_root;
    QByteArray m_previousCache = qgetenv("XDG_CACHE_HOME");

public:
    explicit Scene(const QByteArray &old, bool locked = true)
        : folder(m_root.filePath(QStringLiteral("folder")))
        , file(folder + QStringLiteral("/precious.txt"))
        , cache(m_root.filePath(QStringLiteral("cache")))
        , locked(locked)
    {
        QDir().mkpath(folder);
        QDir().mkpath(cache);
        if (!writeBytes(file, old))
            qWarning("cannot write %s", qPrintable(file));
        setModifiedLongAgo(file);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
        if (locked && runningAsRoot()) {
            ::chmod(QFile::encodeName(m_root.path()).constData(), 0755);
            ::chown(QFile::encodeName(file).constData(), nobody, nobody);
            ::chown(QFile::encodeName(cache).constData(), nobody, nobody);
        } else if (locked) {
            ::chmod(QFile::encodeName(folder).constData(), 0555);
        }
    }
    ~Scene()
    {
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        if (m_previousCache.isEmpty())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", m_previousCache);
    }

    static void setModifiedLongAgo(const QString &path)
    {
        const timespec times[2] = {{longAgo, 0}, {longAgo, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
    }

    // In the child only.
    bool becomeSaver() const
    {
        return !locked || !runningAsRoot()
               || (::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0);
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
    const bool locked;
};

} // namespace
#endif

class SafeFileSaving : public QObject
{
    Q_OBJECT

private slots:
#ifndef Q_OS_LINUX
    void initTestCase() { QSKIP("saves are driven through Linux users, limits and devices"); }
#else
    void aSavedFileKeepsOwnerGroupAndItsModeOrTheOneGivenAndALinkStaysALink_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<int>("given"); // none when negative
        QTest::addColumn<int>("mode");
        QTest::newRow("its own mode") << true << -1 << 0640;
        QTest::newRow("a narrower one given") << true << 0600 << 0600;
        QTest::newRow("a wider one given") << true << 0644 << 0644;
        QTest::newRow("a new file, one given") << false << 0600 << 0600;
    }

    void aSavedFileKeepsOwnerGroupAndItsModeOrTheOneGivenAndALinkStaysALink()
    {
        QFETCH(bool, exists);
        QFETCH(int, given);
        QFETCH(int, mode);
        const mode_t umaskBefore = ::umask(022);
        const auto restoreUmask = qScopeGuard([umaskBefore] { ::umask(umaskBefore); });
        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("target.txt"));
        const QString link = folder.filePath(QStringLiteral("link.txt"));
        if (exists) {
            QVERIFY(writeBytes(target, "old"));
            QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0640), 0);
            // Only root can give a file to someone else.
            if (runningAsRoot())
                QCOMPARE(::chown(QFile::encodeName(target).constData(), nobody, nobody), 0);
            QVERIFY(QFile::link(target, link));
        }
        const struct stat before = statusOf(target);

        SafeFileWriter file;
        const auto permissions = QFileDevice::Permissions::fromInt((given & 0700) << 6 | (given & 070) << 1 | (given & 07));
        QCOMPARE(outcome(file.open(exists ? link : target, given < 0 ? std::nullopt : std::optional(permissions))), outcome({}));
        file.write("new");
        // No more open to others while it is written than once it is.
        QCOMPARE(modesOfFilesOpenIn(folder.path()), QStringList {QString::number(mode, 8)});
        QCOMPARE(outcome(file.commit()), outcome({}));
        QVERIFY(!exists || QFileInfo(link).isSymLink());
        QCOMPARE(readBytes(target), QByteArray("new"));
        const struct stat after = statusOf(target);
        QCOMPARE(after.st_mode & 07777, mode_t(mode));
        QCOMPARE(after.st_uid, exists ? before.st_uid : ::geteuid());
        QCOMPARE(after.st_gid, exists ? before.st_gid : ::getegid());
    }

    void aSaveWritesTheWholeNewTextOrLeavesTheOldOne_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("kind");
        const QByteArray longer = linesOf(3 << 20);
        const auto row = [&](const char *name, const char *obstacle, bool inPlace, const QByteArray &text, FileError::Kind kind) {
            QTest::newRow(name) << QString::fromLatin1(obstacle) << inPlace << text << int(kind);
        };
        row("in place, longer text", "", true, longer, FileError::Kind::None);
        row("in place, shorter text", "", true, "short", FileError::Kind::None);
        row("in place, empty text", "", true, {}, FileError::Kind::None);
        row("file size limit", "limit", false, longer, FileError::Kind::WriteFailed);
        row("in place, file size limit", "limit", true, longer, FileError::Kind::WriteFailed);
        row("in place, full device", "device", true, longer, FileError::Kind::DiskFull);
        row("in place, no room for the copy of the old text", "cache", true, longer, FileError::Kind::CannotOpen);
        // Told too small a size, the save runs into the size limit only
        // after it has written over the file, and puts the old text back.
        row("in place, cut short half-way", "size told too small", true, longer, FileError::Kind::WriteFailed);
    }

    void aSaveWritesTheWholeNewTextOrLeavesTheOldOne()
    {
        QFETCH(QString, obstacle);
        QFETCH(bool, inPlace);
        QFETCH(QByteArray, text);
        QFETCH(int, kind);
        if (obstacle == u"device" && !runningAsRoot())
            QSKIP("mounting a small device takes root");
        const QByteArray old = QByteArray("old line\n").repeated(60000);
        const Scene scene(old, inPlace);
        const ino_t inode = statusOf(scene.file).st_ino;
        if (obstacle == u"cache")
            ::chmod(QFile::encodeName(scene.cache).constData(), 0555);

        const QByteArray report = inChild([&]() -> QByteArray {
            if (obstacle == u"device") {
                // A 2 MB device of the child's own, seen by no one else.
                if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
                    || ::mount("tmpfs", QFile::encodeName(scene.folder).constData(), "tmpfs", 0, "size=2m,mode=0755") != 0
                    || !writeBytes(scene.file, old) || ::chown(QFile::encodeName(scene.file).constData(), nobody, nobody) != 0)
                    return "no small device";
                Scene::setModifiedLongAgo(scene.file);
            }
            // Going beyond the limit ends a program that does not see to it.
            ::signal(SIGXFSZ, SIG_DFL);
            const rlimit limit {1 << 20, RLIM_INFINITY};
            if (obstacle != u"" && obstacle != u"device" && ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return "no limit";
            if (!scene.becomeSaver())
                return "no saver";
            const int syncs = InPlaceFile::syncs();
            const FileError error = save(scene.file, text, obstacle == u"size told too small" ? 10 : -1);
            const QByteArray saved = readBytes(scene.file);
            // The copy of the old text, then the new text, on the disk before the save counts as done.
            return outcome(error) + (saved == text ? " new text" : saved == old ? " old text" : " changed text")
                   + (statusOf(scene.file).st_mtim.tv_sec == longAgo ? " untouched" : "")
                   + (error.ok() ? " synced " + QByteArray::number(InPlaceFile::syncs() - syncs) : "");
        });

        const bool refused = kind != int(FileError::Kind::None) && obstacle != u"size told too small";
        QCOMPARE(report, outcome(FileError::make(FileError::Kind(kind), {})) + (kind ? " old text" : " new text")
                             + (refused ? " untouched" : "") + (kind ? "" : " synced 2"));
        QCOMPARE(statusOf(scene.file).st_ino, inode);
        QCOMPARE(QDir(scene.folder).entryList(QDir::Files), QStringList {QStringLiteral("precious.txt")});
        QCOMPARE(scene.copies(), QStringList());
    }

    // Killed at any moment, the save leaves the old text, the new one, or a
    // copy of the old one that start-up reports.
    void killedInPlaceSaveLeavesTheOldTextRecoverable()
    {
        const QByteArray old = QByteArray("old line\n").repeated(300000);
        // Long enough that the watcher below sees the first bytes change
        // well before the last are written, even on a busy machine.
        const QByteArray text = linesOf(48 << 20);
        const Scene scene(old);
        int cutShort = 0;
        for (int round = 0; round < 10 && cutShort == 0; ++round) {
            QVERIFY(writeBytes(scene.file, old));
            QDir(recoveryFolder()).removeRecursively();
            // The save is killed as soon as its first new bytes show.
            QFile watched(scene.file);
            QVERIFY(watched.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
            // A saver that yields to this process, so that the kill lands in time.
            inChild([&] { return ::nice(19) >= 0 && scene.becomeSaver() ? outcome(save(scene.file, text)) : "no saver"; },
                    [&](pid_t pid) {
                        siginfo_t ended {};
                        while (::waitid(P_PID, id_t(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == 0
                               && watched.seek(0) && watched.peek(3) == "old") { }
                        ::kill(pid, SIGKILL);
                    });

            const QByteArray bytes = readBytes(scene.file);
            if (bytes == old || bytes == text)
                continue;
            ++cutShort;
            const QStringList copies = scene.copies();
            QCOMPARE(copies.size(), 1);
            QVERIFY2(copies.front().startsWith(QStringLiteral("precious ")), qPrintable(copies.front()));
            const QString copy = QDir(recoveryFolder()).filePath(copies.front());
            QCOMPARE(readBytes(copy), old);
            QCOMPARE(leftRecoveryCopies(), QStringList {QStringLiteral("the old text of %1 is kept in %2").arg(scene.file, copy)});
        }
        QVERIFY2(cutShort > 0, "no kill landed while the file was being written");
    }
#endif
};

QUILLORY_SUITE(SafeFileSaving)
#include "tst_safefile.moc"
