// Times the edit control against plain Qt doing the same work in the same
// run, and prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// Usage: bench_richtextbox [--quick]
//   --quick  the 1 MB file only, each figure measured once: a smoke run.
//
// Each load runs in a fresh process (this program again, with
// --child MODE FILE), so that its peak memory is its own.

#include "benchsupport.h"
#include "platform/richtextbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr QSize windowSize(800, 600);
constexpr int noWrap = 65535;

// ---- Test files

struct TestFile
{
    int megabytes = 0;
    QString path;

    QString label() const { return QStringLiteral("%1 MB").arg(megabytes); }
};

TestFile writeTestFile(const QString &folder, int megabytes, bool lineBreaks)
{
    const QString kind = lineBreaks ? QStringLiteral("prose") : QStringLiteral("line");
    const TestFile file {megabytes, QStringLiteral("%1/%2-%3.txt").arg(folder, kind).arg(megabytes)};
    QFile out(file.path);
    if (!out.open(QIODevice::WriteOnly) || out.write(generateProse(megabytes * MB, lineBreaks)) < 0)
        qFatal("cannot write %s", qPrintable(file.path));
    return file;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

// ---- Loading, each in its own process

// Modes of a child: plain Qt, or the edit control wrapping at the window's
// edge or not wrapping at all.
const QString floorMode = QStringLiteral("floor");
const QString loadMode = QStringLiteral("load");
const QString noWrapLoadMode = QStringLiteral("load-nowrap");

// A field of /proc/self/status, in kB.
qint64 processStatusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

bool loadWithQt(QPlainTextEdit &edit, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The bytes are freed before the text is set, as LoadFile frees its own.
    const QString text = QString::fromUtf8(file.readAll());
    edit.setPlainText(text);
    return true;
}

// Loads the file into a shown window and prints the time to the first
// paint, in ms, and how far that took the memory above what the process
// already used, in kB.
int runChild(const QString &mode, const QString &path)
{
    std::unique_ptr<QAbstractScrollArea> edit;
    QPlainTextEdit *plain = nullptr;
    RichTextBox *box = nullptr;
    if (mode == floorMode) {
        edit.reset(plain = new QPlainTextEdit);
    } else {
        edit.reset(box = new RichTextBox);
        if (mode == noWrapLoadMode)
            (void)box->setRightMargin(noWrap);
    }
    edit->resize(windowSize);
    edit->show();
    QCoreApplication::processEvents();

    const qint64 rssBefore = processStatusKb("VmRSS");
    bool loaded = false;
    const double ms = elapsedMs([&] {
        loaded = plain ? loadWithQt(*plain, path) : box->LoadFile(path).ok();
        QCoreApplication::processEvents();
    });
    if (!loaded)
        return 1;
    std::printf("%f %lld\n", ms, static_cast<long long>(processStatusKb("VmHWM") - rssBefore));
    return 0;
}

struct LoadSamples
{
    std::vector<double> ms;
    std::vector<double> peakMb;
};

void loadInChild(const QString &mode, const TestFile &file, LoadSamples &samples)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode, file.path});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        qFatal("loading %s in a child (%s) failed", qPrintable(file.path), qPrintable(mode));
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    samples.ms.push_back(fields.value(0).toDouble());
    samples.peakMb.push_back(fields.value(1).toDouble() / 1024);
}

// The samples of each mode, in the order given; the modes take turns, so
// that a slow spell of the machine does not fall on one of them only.
std::vector<LoadSamples> sampleLoads(const TestFile &file, const QStringList &modes, int runs)
{
    std::vector<LoadSamples> samples(modes.size());
    for (int run = 0; run < runs; ++run) {
        for (qsizetype i = 0; i < modes.size(); ++i)
            loadInChild(modes[i], file, samples[i]);
    }
    return samples;
}

void printLoad(const QString &name, const LoadSamples &ours, const LoadSamples &floor, const QString &goal)
{
    const QString against = QStringLiteral("Qt floor");
    printFigure(name, median(ours.ms), QStringLiteral("ms"), median(floor.ms), against, goal);
    printFigure(name + QStringLiteral(" peak memory"), median(ours.peakMb), QStringLiteral("MB"),
                median(floor.peakMb), against, goal);
}

void benchLoads(const std::vector<TestFile> &files, bool quick)
{
    for (const TestFile &file : files) {
        const int runs = quick ? 1 : file.megabytes >= 100 ? 2 : 3;
        const auto samples = sampleLoads(file, {floorMode, loadMode}, runs);
        printLoad(QStringLiteral("load ") + file.label(), samples[1], samples[0], QStringLiteral("1.3"));
    }
}

void benchSingleLineLoads(const TestFile &file)
{
    const auto samples = sampleLoads(file, {floorMode, noWrapLoadMode, loadMode}, 1);
    const QString name = QStringLiteral("load %1 single line, ").arg(file.label());
    printLoad(name + QStringLiteral("no wrap"), samples[1], samples[0], QStringLiteral("none"));
    printLoad(name + QStringLiteral("wrap"), samples[2], samples[0], QStringLiteral("none"));
}

// ---- Saving and editing, in this process

std::unique_ptr<RichTextBox> shownBox(const TestFile &file, int rightMargin = 0)
{
    auto box = std::make_unique<RichTextBox>();
    (void)box->setRightMargin(rightMargin);
    box->resize(windowSize);
    box->show();
    if (box->LoadFile(file.path).failed())
        qFatal("cannot load %s", qPrintable(file.path));
    QCoreApplication::processEvents();
    return box;
}

// Returns false when SaveFile did not write back the bytes that were loaded.
bool benchSave(RichTextBox &box, const TestFile &file, const QString &folder, int runs)
{
    const QByteArray original = readFile(file.path);
    const QString target = folder + QStringLiteral("/saved.txt");
    std::vector<double> ours;
    std::vector<double> floor;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(target);
        ours.push_back(elapsedMs([&] {
            if (box.SaveFile(target).failed())
                qFatal("cannot save %s", qPrintable(target));
        }));
        if (run == 0 && readFile(target) != original) {
            std::fprintf(stderr, "save %s: SaveFile wrote other bytes than it loaded\n", qPrintable(file.label()));
            return false;
        }
        QFile::remove(target);
        floor.push_back(elapsedMs([&] {
            QSaveFile out(target);
            if (!out.open(QIODevice::WriteOnly) || out.write(original) != original.size() || !out.commit())
                qFatal("cannot write %s", qPrintable(target));
        }));
    }
    printFigure(QStringLiteral("save ") + file.label(), median(ours), QStringLiteral("ms"), median(floor),
                QStringLiteral("QSaveFile write"), QStringLiteral("1.5"));
    return true;
}

// The median time of an operation, in ms. Events are processed between
// runs, outside the timing, so that each run starts from a painted window.
double medianMs(int runs, const std::function<void(int run)> &operation)
{
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        ms.push_back(elapsedMs([&] { operation(run); }));
        QCoreApplication::processEvents();
    }
    return median(ms);
}

// Keeps the timed reads from being optimised away.
volatile qsizetype readSink = 0;

void typeLetter(RichTextBox &box)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(&box, &press);
    QCoreApplication::sendEvent(&box, &release);
}

// Median times in ms.
struct OperationTimes
{
    double readSelStart = 0;
    double readTextLength = 0;
    double setSelStart = 0;
    double typeAtEnd = 0;
};

OperationTimes timeOperations(RichTextBox &box, int runs)
{
    OperationTimes times;
    const qsizetype length = box.textLength();
    // Positions in Text near the start, in the middle and near the end.
    const qsizetype positions[] = {std::min<qsizetype>(10, length), length / 2, std::max<qsizetype>(length - 10, 0)};
    times.setSelStart = medianMs(runs, [&](int run) { (void)box.setSelStart(positions[run % 3]); });

    (void)box.setSelStart(length / 2);
    QCoreApplication::processEvents();
    times.readSelStart = medianMs(runs, [&](int) { readSink = box.SelStart(); });
    times.readTextLength = medianMs(runs, [&](int) { readSink = box.textLength(); });

    (void)box.setSelStart(length);
    QCoreApplication::processEvents();
    times.typeAtEnd = medianMs(runs, [&](int) { typeLetter(box); });
    return times;
}

void printOperations(const QString &label, const OperationTimes &ours, const QString &baselineLabel,
                     const OperationTimes &baseline)
{
    const auto print = [&](const char *name, double OperationTimes::*time) {
        printFigure(QStringLiteral("%1, %2").arg(QLatin1StringView(name), label), ours.*time, QStringLiteral("ms"),
                    baseline.*time, baselineLabel, QStringLiteral("under 1 ms"));
    };
    print("read SelStart", &OperationTimes::readSelStart);
    print("read textLength", &OperationTimes::readTextLength);
    print("set SelStart", &OperationTimes::setSelStart);
    print("type at end", &OperationTimes::typeAtEnd);
}

// Typing into one very long line is slow, so three keys make the figure.
void benchSingleLineTyping(const TestFile &file, const QString &baselineLabel, double baselineMs)
{
    const auto box = shownBox(file, noWrap);
    (void)box->setSelStart(box->textLength());
    QCoreApplication::processEvents();
    printFigure(QStringLiteral("type at end, %1 single line, no wrap").arg(file.label()),
                medianMs(3, [&](int) { typeLetter(*box); }), QStringLiteral("ms"), baselineMs, baselineLabel,
                QStringLiteral("none"));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args[1] == QLatin1StringView("--child"))
        return runChild(args[2], args[3]);
    const bool quick = args.contains(QLatin1StringView("--quick"));

    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("cannot create a temporary folder");
    std::vector<TestFile> prose;
    for (const int megabytes : quick ? std::vector {1} : std::vector {1, 20, 100})
        prose.push_back(writeTestFile(folder.path(), megabytes, true));
    const TestFile singleLine = quick ? TestFile() : writeTestFile(folder.path(), 5, false);

    benchLoads(prose, quick);
    if (!quick)
        benchSingleLineLoads(singleLine);

    // The smallest and the largest document stay loaded for the editing
    // figures; the ones in between go once saved.
    bool savedAsLoaded = true;
    std::unique_ptr<RichTextBox> smallest;
    std::unique_ptr<RichTextBox> largest;
    for (const TestFile &file : prose) {
        auto box = shownBox(file);
        savedAsLoaded = benchSave(*box, file, folder.path(), quick ? 1 : 5) && savedAsLoaded;
        if (!smallest)
            smallest = std::move(box);
        else
            largest = std::move(box);
    }

    const int runs = quick ? 1 : 200;
    const OperationTimes small = timeOperations(*smallest, runs);
    const OperationTimes large = largest ? timeOperations(*largest, runs) : small;
    printOperations(prose.back().label(), large, prose.front().label(), small);
    if (!quick)
        benchSingleLineTyping(singleLine, prose.front().label(), small.typeAtEnd);
    return savedAsLoaded ? 0 : 1;
}
