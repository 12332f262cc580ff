// Times the first screen of files of prose from 64 MB to 1 GiB, and a file of
// more than 1 GiB of CR LF prose, which the edit control reads from the file
// itself (open, index, Go To, Ctrl+End, Find, save), and
// prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// against baselines measured in the same run: read() of the same file (from
// the page cache, and from the disk with its pages dropped first), grep
// -c of a word it does not hold, a copy of the file. The file is made in a
// temporary folder (TMPDIR) and removed afterwards; without 3 GB free there
// the benchmark says so and stops.
//
// Usage: bench_bigfiles [--quick]
//   --quick  each figure once.
//   --first-screen FILE  (for itself) opens FILE in a child of its own.

#include "benchsupport.h"
#include "editor/filetext.h"
#include "editor/storesearch.h"
#include "platform/richtextbox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

double readAllMs(const QString &path)
{
    return elapsedMs([&] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            qFatal("cannot read %s", qPrintable(path));
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        while (file.read(buffer.data(), buffer.size()) > 0) {
        }
    });
}

double commandMs(const QString &command, const QStringList &arguments)
{
    return elapsedMs([&] {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(command, arguments);
        process.waitForFinished(-1);
    });
}

// Asks the system to forget the file's pages, so that the next read comes
// from the disk.
void dropFromCache(const QString &path)
{
#ifdef Q_OS_UNIX
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        ::fdatasync(file.handle());
        ::posix_fadvise(file.handle(), 0, 0, POSIX_FADV_DONTNEED);
    }
#else
    Q_UNUSED(path);
#endif
}

// Replace All of a word that stands 100,000 times in a file as big, kept in
// the file, against sed doing the same into nothing.
void benchReplaceAll(const QString &path, qint64 size, int runs)
{
    constexpr int chunks = 17;
    const qint64 chunk = size / chunks + 1;
    std::vector<qsizetype> at;
    for (qsizetype i = 0; i < 100000 / chunks + 1; ++i)
        at.push_back(chunk / (100000 / chunks + 1) * i);
    const QByteArray prose = generateProse(chunk, true, "quillwort", at);
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        for (int i = 0; i < chunks; ++i)
            out.write(prose);
    }
    std::vector<double> ours;
    std::vector<double> seds;
    double memory = 0;
    qsizetype count = 0;
    for (int run = 0; run < runs; ++run) {
        const qint64 anonBefore = processStatusKb("RssAnon");
        RichTextBox box;
        if (box.LoadFile(path).failed() || !box.completeText())
            qFatal("cannot open %s", qPrintable(path));
        ours.push_back(elapsedMs([&] {
            StoreSearch search(box.store(), QStringLiteral("quillwort"), {true, false, false}, 1 << 18);
            box.replaceEach(search.replaceAll(QStringLiteral("bogbean"), &count));
        }));
        memory = std::max(memory, double(processStatusKb("RssAnon") - anonBefore) * 1024 / double(QFileInfo(path).size()));
        seds.push_back(commandMs(QStringLiteral("sed"), {QStringLiteral("s/quillwort/bogbean/g"), path}));
    }
    std::printf("Replace All: %lld words replaced\n", qint64(count));
    printFigure(QStringLiteral("Replace All of a word, kept in its file"), median(ours), QStringLiteral("ms"),
                median(seds), QStringLiteral("sed s/WORD/OTHER/g"), QStringLiteral("ratio at most 1.5"));
    printFigure(QStringLiteral("private memory of Replace All"), memory, QStringLiteral("bytes per byte of file"), 0.1,
                QStringLiteral("0.1 byte per byte"), QStringLiteral("ratio at most 1"));
    QFile::remove(path);
}

// In a child of its own, so that memory is the file's alone: opens the
// file to its first screen and prints the time and the private memory (kB)
// that took.
int firstScreenChild(const QString &path)
{
    const qint64 anonBefore = processStatusKb("RssAnon");
    RichTextBox box;
    box.resize(800, 600);
    (void)box.setRightMargin(1 << 20);
    const double ms = elapsedMs([&] {
        if (box.LoadFile(path).failed())
            qFatal("cannot open %s", qPrintable(path));
        box.show();
        QCoreApplication::processEvents();
    });
    std::printf("%f %lld\n", ms, static_cast<long long>(processStatusKb("RssAnon") - anonBefore));
    return 0;
}

// The first screen of files of prose on either side of where files stop
// being decoded whole, each a child's first file.
void benchFirstScreens(const QString &folder, int runs)
{
    for (const qint64 size : {qint64(64) * MB, qint64(300) * MB, qint64(999999815), qint64(1024) * MB}) {
        const QString path = QDir(folder).filePath(QStringLiteral("first.txt"));
        writeProseFile(path, size);
        // To the byte: 999,999,815 is where files once stopped being kept.
        if (!QFile::resize(path, size))
            qFatal("cannot cut %s", qPrintable(path));
        std::vector<double> ms, bytesPerByte;
        for (int run = 0; run < runs; ++run) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--first-screen"), path});
            if (!child.waitForFinished(-1) || child.exitCode() != 0)
                qFatal("opening %s in a child failed", qPrintable(path));
            const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
            ms.push_back(fields.value(0).toDouble());
            bytesPerByte.push_back(fields.value(1).toDouble() * 1024 / double(QFileInfo(path).size()));
        }
        const QString name = QStringLiteral("%1 bytes of prose").arg(QFileInfo(path).size());
        printFigure(QStringLiteral("first screen of ") + name, median(ms), QStringLiteral("ms"), 100, QStringLiteral("100 ms"),
                    QStringLiteral("ratio at most 1"));
        printFigure(QStringLiteral("private memory of the first screen of ") + name, median(bytesPerByte),
                    QStringLiteral("bytes per byte of file"), 0.1, QStringLiteral("0.1 byte per byte"), QStringLiteral("ratio at most 1"));
        QFile::remove(path);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--first-screen") == 0)
        return firstScreenChild(QString::fromLocal8Bit(argv[2]));
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int runs = quick ? 1 : 3;
    QTemporaryDir folder;
    if (QStorageInfo(folder.path()).bytesAvailable() < 3LL * 1024 * MB) {
        std::printf("bench_bigfiles: less than 3 GB free in %s: skipped\n", qPrintable(folder.path()));
        return 0;
    }
    benchFirstScreens(folder.path(), runs);
    const qint64 size = 1088 * MB;
    const QString path = folder.filePath(QStringLiteral("big.txt"));
    writeProseFile(path, size);
    const double megabytes = double(QFileInfo(path).size()) / MB;
    std::printf("file: %.0f MB of CR LF prose\n", megabytes);
    (void)readAllMs(path); // into the page cache

    // From the page cache, and from the disk (the file's pages dropped
    // from the cache first).
    for (const bool fromDisk : {false, true}) {
        std::vector<double> reads, indexes;
        for (int run = 0; run < runs; ++run) {
            if (fromDisk)
                dropFromCache(path);
            reads.push_back(readAllMs(path));
            if (fromDisk)
                dropFromCache(path);
            FileError error;
            indexes.push_back(elapsedMs([&] {
                const std::shared_ptr<FileText> text = FileText::open(path, formatOf(TextEncoding::Utf8), error);
                text->waitForIndex();
            }));
        }
        printFigure(fromDisk ? QStringLiteral("index of the whole file from the disk")
                             : QStringLiteral("index of the whole file from the page cache"),
                    median(indexes), QStringLiteral("ms"), median(reads), QStringLiteral("read() of the file"),
                    QStringLiteral("ratio at most 1.5"));
    }

    const qint64 anonBefore = processStatusKb("RssAnon");
    RichTextBox box;
    box.resize(800, 600);
    // As a document shows it at first: without wrapping.
    (void)box.setRightMargin(1 << 20);
    const double openMs = elapsedMs([&] {
        if (box.LoadFile(path).failed())
            qFatal("cannot open %s", qPrintable(path));
        box.show();
        QCoreApplication::processEvents();
    });
    printFigure(QStringLiteral("open to the first screen"), openMs, QStringLiteral("ms"), 100, QStringLiteral("100 ms"),
                QStringLiteral("ratio at most 1"));
    const auto printMemory = [&](const QString &when) {
        printFigure(QStringLiteral("private memory ") + when,
                    double(processStatusKb("RssAnon") - anonBefore) * 1024 / (megabytes * MB),
                    QStringLiteral("bytes per byte of file"), 0.1, QStringLiteral("0.1 byte per byte"),
                    QStringLiteral("ratio at most 1"));
    };
    printMemory(box.store().growing() ? QStringLiteral("once open, while indexing") : QStringLiteral("once open"));
    const double restMs = elapsedMs([&] {
        while (box.store().growing())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    });
    std::printf("rest of the index, the text shown: %.0f ms\n", restMs);
    printMemory(QStringLiteral("once indexed"));

    // From near the start to a line near the end, painted there.
    std::vector<double> goTos;
    const qsizetype lines = box.store().lineCount();
    for (int run = 0; run < runs; ++run) {
        (void)box.goToLine(100 + run, 3);
        box.repaint();
        goTos.push_back(elapsedMs([&] {
            if (!box.goToLine(lines - 10 - run, 3))
                qFatal("no line %lld", static_cast<long long>(lines - 10 - run));
            box.repaint();
        }));
    }
    printFigure(QStringLiteral("Go To a line near the end, once indexed"), median(goTos), QStringLiteral("ms"), 16,
                QStringLiteral("16 ms frame"), QStringLiteral("ratio below 1"));

    const double endMs = elapsedMs([&] {
        QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&box, Qt::Key_X);
        QCoreApplication::processEvents();
    });
    printFigure(QStringLiteral("Ctrl+End and a key at the end"), endMs, QStringLiteral("ms"), 16,
                QStringLiteral("16 ms frame"), QStringLiteral("ratio below 1"));

    std::vector<double> finds, greps;
    for (int run = 0; run < runs; ++run) {
        finds.push_back(elapsedMs([&] {
            if (box.findText(QStringLiteral("zyzzyva"), 0, SearchDirection::Down, TextCase::Exact).start >= 0)
                qFatal("found what is not there");
        }));
        greps.push_back(commandMs(QStringLiteral("grep"), {QStringLiteral("-c"), QStringLiteral("zyzzyva"), path}));
    }
    printFigure(QStringLiteral("Find of a missing word"), median(finds), QStringLiteral("ms"), median(greps),
                QStringLiteral("grep -c"), QStringLiteral("ratio at most 1.5"));

    const QString saved = folder.filePath(QStringLiteral("saved.txt"));
    const QString copied = folder.filePath(QStringLiteral("copied.txt"));
    // A save is on the disk when it is done, as a copy is only once synced.
    // The two take turns, each writing a new file, so that what the disk
    // still does for one falls on both.
    std::vector<double> saves, copies, syncedCopies;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(copied);
        syncedCopies.push_back(commandMs(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("cp \"$1\" \"$2\" && sync \"$2\""),
                                                                 QStringLiteral("sh"), path, copied}));
        QFile::remove(saved);
        saves.push_back(elapsedMs([&] {
            if (box.SaveFile(saved).failed())
                qFatal("cannot save %s", qPrintable(saved));
        }));
        QFile::remove(copied);
        copies.push_back(commandMs(QStringLiteral("cp"), {path, copied}));
    }
    const double saveMs = median(saves);
    const double copyMs = median(copies);
    const double syncedCopyMs = median(syncedCopies);
    printFigure(QStringLiteral("save with one edit"), saveMs, QStringLiteral("ms"), syncedCopyMs,
                QStringLiteral("cp of the file and sync of the copy"), QStringLiteral("ratio at most 1.5"));
    printFigure(QStringLiteral("save with one edit"), saveMs, QStringLiteral("ms"), copyMs,
                QStringLiteral("cp of the file, left in the page cache"), QStringLiteral("none: a save is synced"));
    printMemory(QStringLiteral("at the end"));
    benchReplaceAll(folder.filePath(QStringLiteral("planted.txt")), size, runs);
    {
        // The same with its lines wrapped at the window's edge.
        RichTextBox wrapped;
        wrapped.resize(800, 600);
        const double wrappedMs = elapsedMs([&] {
            if (wrapped.LoadFile(path).failed())
                qFatal("cannot open %s", qPrintable(path));
            wrapped.show();
            while (wrapped.store().growing())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        });
        std::printf("open and the whole index, the text shown wrapped: %.0f ms\n", wrappedMs);
    }

    return 0;
}
