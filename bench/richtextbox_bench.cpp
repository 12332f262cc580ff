// Times the edit control against a baseline measured in the same run, and
// prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// Usage: bench_richtextbox [--quick]
//   --quick  small files (1 MB of prose, a 256 kB line), each figure
//            measured once: a smoke run.
//
// The figures: opening 100 MB of CR LF prose (time to the first paint, and
// peak memory per byte of file) against QPlainTextEdit::setPlainText of the
// same file; opening a 5 MB line without line breaks against the same, and
// typing and scrolling in it against a 16 ms frame; saving 100 MB against a
// QSaveFile write of the same bytes; Text of 100 MB against a copy of as
// much memory; and keys, the caret and the length in 100 MB against the same
// in 1 MB.
//
// Each load runs in a fresh process (this program again, with
// --child MODE FILE), so that its peak memory is its own. Only the control's
// public interface and what any QAbstractScrollArea has are used.

#include "benchsupport.h"
#include "editor/storesearch.h"
#include "platform/richtextbox.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSaveFile>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr QSize windowSize(800, 600);
constexpr int noWrap = 65535;
constexpr double frameMs = 16;

// ---- Test files

struct TestFile
{
    qsizetype bytes = 0;
    QString path;
    QString kind;

    QString label() const
    {
        const QString size = bytes >= MB ? QStringLiteral("%1 MB").arg(bytes / MB)
                                         : QStringLiteral("%1 kB").arg(bytes / 1024);
        return size + u' ' + kind;
    }
};

TestFile writeTestFile(const QString &folder, qsizetype bytes, bool lineBreaks)
{
    TestFile file;
    file.kind = lineBreaks ? QStringLiteral("prose") : QStringLiteral("single line");
    file.path = QStringLiteral("%1/%2-%3.txt").arg(folder, lineBreaks ? QStringLiteral("prose") : QStringLiteral("line"))
                    .arg(bytes);
    QFile out(file.path);
    const QByteArray text = generateProse(bytes, lineBreaks);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(file.path));
    file.bytes = text.size();
    return file;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

// ---- Timing

// Keeps the timed reads from being optimised away.
volatile qsizetype readSink = 0;

enum class Until {
    // The operation returns; the window paints afterwards, untimed.
    Returned,
    // The window has painted what the operation changed: one frame.
    Painted,
};

// The median time of an operation in ms, over runs runs; fewer (three at
// least) once they have taken budgetMs in all, so that an operation that
// takes seconds cannot hold the bench up. Before each run, prepare (when
// given) sets it up, untimed; events are processed between runs, so that
// each starts from a painted window.
double medianMs(int runs, Until until, const std::function<void(int run)> &operation,
                const std::function<void(int run)> &prepare = {}, double budgetMs = 1500)
{
    std::vector<double> ms;
    double total = 0;
    for (int run = 0; run < runs && (run < 3 || total < budgetMs); ++run) {
        if (prepare) {
            prepare(run);
            QCoreApplication::processEvents();
        }
        ms.push_back(elapsedMs([&] {
            operation(run);
            if (until == Until::Painted)
                QCoreApplication::processEvents();
        }));
        total += ms.back();
        QCoreApplication::processEvents();
    }
    return median(ms);
}

// ---- Opening, each in its own process

// Modes of a child: plain Qt, or the edit control wrapping at the window's
// edge or not wrapping at all.
const QString floorMode = QStringLiteral("floor");
const QString loadMode = QStringLiteral("load");
const QString noWrapLoadMode = QStringLiteral("load-nowrap");

// Starts the peak (VmHWM) again from the memory in use now, so that what
// setting up the window took does not count.
void resetPeakMemory()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
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
    std::unique_ptr<QWidget> window;
    QPlainTextEdit *floor = nullptr;
    RichTextBox *box = nullptr;
    if (mode == floorMode) {
        window.reset(floor = new QPlainTextEdit);
    } else {
        window.reset(box = new RichTextBox);
        (void)box->setRightMargin(mode == noWrapLoadMode ? noWrap : 0);
    }
    window->resize(windowSize);
    window->show();
    QCoreApplication::processEvents();

    resetPeakMemory();
    const qint64 rssBefore = processStatusKb("VmRSS");
    bool loaded = false;
    const double ms = elapsedMs([&] {
        loaded = floor ? loadWithQt(*floor, path) : box->LoadFile(path).ok();
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
    std::vector<double> peakBytesPerByte;
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
    samples.peakBytesPerByte.push_back(fields.value(1).toDouble() * 1024 / double(file.bytes));
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

const QString againstFloor = QStringLiteral("Qt floor");

void benchProseOpen(const TestFile &file, bool quick)
{
    const auto samples = sampleLoads(file, {floorMode, loadMode}, quick ? 1 : 2);
    const LoadSamples &floor = samples[0];
    const LoadSamples &ours = samples[1];
    const QString name = QStringLiteral("open ") + file.label();
    printFigure(name, median(ours.ms), QStringLiteral("ms"), median(floor.ms), againstFloor,
                QStringLiteral("0.2 and under 1000 ms"));
    printFigure(name + QStringLiteral(", peak memory"), median(ours.peakBytesPerByte),
                QStringLiteral("bytes per byte of file"), median(floor.peakBytesPerByte), againstFloor,
                QStringLiteral("at most 3 bytes per byte"));
}

void benchSingleLineOpen(const TestFile &file)
{
    const auto samples = sampleLoads(file, {floorMode, noWrapLoadMode, loadMode}, 1);
    const QString name = QStringLiteral("open ") + file.label();
    const QString goal = QStringLiteral("under 500 ms");
    printFigure(name + QStringLiteral(", no wrap"), median(samples[1].ms), QStringLiteral("ms"), median(samples[0].ms),
                againstFloor, goal);
    printFigure(name + QStringLiteral(", wrap"), median(samples[2].ms), QStringLiteral("ms"), median(samples[0].ms),
                againstFloor, goal);
}

// ---- Editing, in this process

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

void sendKey(QWidget &widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(&widget, &press);
    QCoreApplication::sendEvent(&widget, &release);
}

void typeLetter(RichTextBox &box)
{
    sendKey(box, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
}

void placeCaret(RichTextBox &box, qsizetype position)
{
    (void)box.setSelStart(position);
    QCoreApplication::processEvents();
}

// Typing and scrolling in one long line, each to the painted frame.
void benchSingleLine(const TestFile &file, bool quick)
{
    const int runs = quick ? 1 : 15;
    const QString against = QStringLiteral("16 ms frame");
    const QString goal = QStringLiteral("under 16 ms");
    const auto print = [&](const QString &what, const QString &wrap, double ms) {
        printFigure(QStringLiteral("%1, %2, %3").arg(what, file.label(), wrap), ms, QStringLiteral("ms"), frameMs,
                    against, goal);
    };
    {
        const auto box = shownBox(file, noWrap);
        placeCaret(*box, box->textLength());
        print(QStringLiteral("type at end"), QStringLiteral("no wrap"),
              medianMs(runs, Until::Painted, [&](int) { typeLetter(*box); }));
        placeCaret(*box, box->textLength() / 2);
        print(QStringLiteral("type in the middle"), QStringLiteral("no wrap"),
              medianMs(runs, Until::Painted, [&](int) { typeLetter(*box); }));

        placeCaret(*box, 0);
        QScrollBar *bar = box->horizontalScrollBar();
        print(QStringLiteral("scroll to the end"), QStringLiteral("no wrap"),
              medianMs(
                  runs, Until::Painted, [&](int) { bar->setValue(bar->maximum()); },
                  [&](int) { bar->setValue(bar->minimum()); }));
    }
    const auto box = shownBox(file, 0);
    placeCaret(*box, box->textLength() / 2);
    print(QStringLiteral("type in the middle"), QStringLiteral("wrap"),
          medianMs(runs, Until::Painted, [&](int) { typeLetter(*box); }));
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
    QFile::remove(target);
    printFigure(QStringLiteral("save ") + file.label(), median(ours), QStringLiteral("ms"), median(floor),
                QStringLiteral("QSaveFile write"), QStringLiteral("1.5"));
    return true;
}

// Returns false when Text is not the file's text (every line break of this
// prose is CR LF, as Text shows them).
bool benchText(const RichTextBox &box, const TestFile &file, int runs)
{
    QString text = box.Text();
    if (text != QString::fromUtf8(readFile(file.path))) {
        std::fprintf(stderr, "Text of %s is not the file's text\n", qPrintable(file.label()));
        return false;
    }
    std::vector<double> ours;
    std::vector<double> copy;
    for (int run = 0; run < runs; ++run) {
        ours.push_back(elapsedMs([&] { readSink = box.Text().size(); }));
        copy.push_back(elapsedMs([&] { readSink = QString(text.constData(), text.size()).size(); }));
    }
    const QString against = QStringLiteral("copy of %1 MB").arg(qRound(double(text.size()) * sizeof(QChar) / MB));
    printFigure(QStringLiteral("Text, ") + file.label(), median(ours), QStringLiteral("ms"), median(copy), against,
                QStringLiteral("2"));
    return true;
}

// Median times in ms.
struct OperationTimes
{
    double readSelStart = 0;
    double readTextLength = 0;
    double setSelStart = 0;
    double arrowKey = 0;
    double endAndStartKeys = 0;
    double typeAtEnd = 0;
    double typeInMiddle = 0;
};

OperationTimes timeOperations(RichTextBox &box, int runs)
{
    OperationTimes times;
    const qsizetype length = box.textLength();
    // Positions in Text near the start, in the middle and near the end.
    const qsizetype positions[] = {std::min<qsizetype>(10, length), length / 2, std::max<qsizetype>(length - 10, 0)};
    times.setSelStart = medianMs(runs, Until::Returned, [&](int run) { (void)box.setSelStart(positions[run % 3]); });

    placeCaret(box, length / 2);
    times.readSelStart = medianMs(runs, Until::Returned, [&](int) { readSink = box.SelStart(); });
    times.readTextLength = medianMs(runs, Until::Returned, [&](int) { readSink = box.textLength(); });

    static const int arrows[] = {Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up};
    times.arrowKey = medianMs(runs, Until::Returned, [&](int run) { sendKey(box, arrows[run % 4]); });
    times.endAndStartKeys = medianMs(runs, Until::Returned, [&](int run) {
        sendKey(box, run % 2 ? Qt::Key_Home : Qt::Key_End, Qt::ControlModifier);
    });

    placeCaret(box, box.textLength());
    times.typeAtEnd = medianMs(runs, Until::Returned, [&](int) { typeLetter(box); });
    placeCaret(box, box.textLength() / 2);
    times.typeInMiddle = medianMs(runs, Until::Returned, [&](int) { typeLetter(box); });
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
    print("move caret by arrow key", &OperationTimes::arrowKey);
    print("move caret by Ctrl+End and Ctrl+Home", &OperationTimes::endAndStartKeys);
    print("type at end", &OperationTimes::typeAtEnd);
    print("type in the middle", &OperationTimes::typeInMiddle);
}

// Replace All of a word planted 10,000 times in the prose, against
// QString::replace on a copy of the same text.
void benchReplaceAll(qsizetype bytes, int runs)
{
    std::vector<qsizetype> at;
    for (qsizetype i = 0; i < 10000; ++i)
        at.push_back(bytes / 10000 * i);
    const QString prose = QString::fromUtf8(generateProse(bytes, true, "quillwort", at));
    std::vector<double> ours;
    std::vector<double> theirs;
    for (int run = 0; run < runs; ++run) {
        RichTextBox box;
        box.loadText(QString(prose), TextFileFormat());
        qsizetype count = 0;
        ours.push_back(elapsedMs([&] {
            StoreSearch search(box.store(), QStringLiteral("quillwort"), {true, false, false}, 1 << 16);
            box.replaceEach(search.replaceAll(QStringLiteral("bogbean"), &count));
        }));
        if (count != 10000)
            qFatal("Replace All replaced %lld, not 10000", qint64(count));
        theirs.push_back(elapsedMs([&] {
            QString copy(prose.constData(), prose.size());
            readSink = copy.replace(QStringLiteral("quillwort"), QStringLiteral("bogbean")).size();
        }));
    }
    printFigure(QStringLiteral("Replace All of 10000 words, %1 MB prose").arg(bytes / MB), median(ours),
                QStringLiteral("ms"), median(theirs), QStringLiteral("QString::replace on a copy"),
                QStringLiteral("ratio at most 1.5"));
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
    // In a quick run the 1 MB document stands for the 100 MB one.
    const TestFile small = writeTestFile(folder.path(), 1 * MB, true);
    const TestFile large = quick ? small : writeTestFile(folder.path(), 100 * MB, true);
    const TestFile line = writeTestFile(folder.path(), quick ? 256 * 1024 : 5 * MB, false);

    benchProseOpen(large, quick);
    benchSingleLineOpen(line);
    benchSingleLine(line, quick);

    bool right = true;
    const auto largeBox = shownBox(large);
    right = benchSave(*largeBox, large, folder.path(), quick ? 1 : 3) && right;
    right = benchText(*largeBox, large, quick ? 1 : 3) && right;

    benchReplaceAll(large.bytes, quick ? 1 : 3);

    const int runs = quick ? 1 : 200;
    const auto smallBox = quick ? nullptr : shownBox(small);
    const OperationTimes smallTimes = timeOperations(smallBox ? *smallBox : *largeBox, runs);
    const OperationTimes largeTimes = smallBox ? timeOperations(*largeBox, runs) : smallTimes;
    printOperations(large.label(), largeTimes, small.label(), smallTimes);
    return right ? 0 : 1;
}
