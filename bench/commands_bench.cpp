// Times the commands that work on a whole document, in a frame holding a
// document loaded from a file, and prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// Find Next is set against QString's own search of the same text held in
// one string, over the same span and with the same case sensitivity; Delete,
// Select All and a typed key in the large document against the same in a
// 1 MB one; a typed key in the middle of one line of megabytes, with the
// status bar's caret panel following it, against the same with the panel
// switched off.
//
// Usage: bench_commands [--quick]
//   --quick  a 4 MB document instead of 100 MB, three runs a figure: a smoke
//            run.

#include "benchsupport.h"
#include "document/frmnotepad.h"
#include "document/menuedit.h"
#include "platform/richtextbox.h"
#include "platform/statusbar.h"
#include "platform/testseam.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

const char *const plantedWord = "marmalade";

struct Frame
{
    std::unique_ptr<frmMainNote> window;
    RichTextBox *text = nullptr;
};

// A frame as the start leaves it, whose one document holds the file, with
// the focus in its text.
Frame frameWith(const QString &path)
{
    Quillo::resetModules();
    MenuEdit::CutAllowed = true;
    MenuEdit::PasteAllowed = true;
    MenuEdit::FindDirection = 1;
    Frame frame {std::make_unique<frmMainNote>(), nullptr};
    frame.window->Show();
    frame.window->activateWindow();
    QCoreApplication::processEvents();
    frame.text = frame.window->activeDocument()->Text1;
    if (frame.text->LoadFile(path).failed())
        qFatal("cannot load %s", qPrintable(path));
    frame.text->setFocus();
    QCoreApplication::processEvents();
    if (QApplication::focusWidget() != frame.text)
        qFatal("the document's text does not have the focus");
    return frame;
}

QString writeProse(const QString &folder, qsizetype size)
{
    const QString path = QStringLiteral("%1/prose-%2.txt").arg(folder).arg(size);
    QFile out(path);
    // The word stands 1 MB before and 1 MB after the middle, where the
    // searches start.
    if (!out.open(QIODevice::WriteOnly)
        || out.write(generateProse(size, true, plantedWord, {size / 2 - MB, size / 2 + MB})) < 0)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// ---- Find Next

struct Search
{
    QString name;
    QString what;
    qsizetype caret;
    bool down;
    bool matchCase;
};

// Find Next and QString's search in turns, so that a slow spell of the
// machine does not fall on one of them only; false where they disagree.
bool benchFindNext(RichTextBox &box, const QString &text, const Search &search, int runs)
{
    MenuEdit::FindWhat[0] = search.what;
    MenuEdit::MatchCase = search.matchCase ? 1 : 0;
    MenuEdit::FindDirection = search.down ? 1 : 0;
    const Qt::CaseSensitivity cs = search.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    qsizetype ours = -1;
    qsizetype theirs = -1;
    const auto findNext = [&] {
        MenuEdit::EditFindNext();
        ours = box.SelLength() > 0 ? box.SelStart() : -1;
    };
    // A new search up starts two characters before the caret.
    const auto baseline = [&] {
        theirs = search.down ? text.indexOf(search.what, search.caret, cs)
                             : text.lastIndexOf(search.what, search.caret - 2, cs);
    };
    std::vector<double> oursMs;
    std::vector<double> theirsMs;
    for (int run = -1; run < runs; ++run) {
        (void)box.setSelStart(search.caret);
        MenuEdit::NewSearch = 255;
        QCoreApplication::processEvents();
        const double ms = elapsedMs(findNext);
        const double baselineMs = elapsedMs(baseline);
        // The first run builds what is built once (the upper-case table).
        if (run >= 0) {
            oursMs.push_back(ms);
            theirsMs.push_back(baselineMs);
        }
    }
    if (ours != theirs) {
        std::fprintf(stderr, "%s: Find Next found %lld, QString %lld\n", qPrintable(search.name),
                     static_cast<long long>(ours), static_cast<long long>(theirs));
        return false;
    }
    QString against = search.down ? QStringLiteral("QString::indexOf") : QStringLiteral("QString::lastIndexOf");
    if (!search.matchCase)
        against += QStringLiteral(" case-insensitive");
    printFigure(search.name, median(oursMs), QStringLiteral("ms"), median(theirsMs), against, QStringLiteral("2"));
    return true;
}

bool benchFindNexts(Frame &frame, const QString &label, int runs)
{
    const QString text = frame.text->Text();
    const qsizetype middle = text.size() / 2;
    const QString found = QString::fromLatin1(plantedWord);
    const QString absent = QStringLiteral("zeppelin");
    const std::vector<Search> searches {
        {QStringLiteral("Find Next down, word 1 MB on, Match Case"), found, middle, true, true},
        {QStringLiteral("Find Next down, word 1 MB on"), found.toUpper(), middle, true, false},
        {QStringLiteral("Find Next up, word 1 MB back, Match Case"), found, middle, false, true},
        {QStringLiteral("Find Next up, word 1 MB back"), found.toUpper(), middle, false, false},
        {QStringLiteral("Find Next down, not in %1, Match Case").arg(label), absent, 0, true, true},
        {QStringLiteral("Find Next down, not in %1").arg(label), absent.toUpper(), 0, true, false},
        {QStringLiteral("Find Next up, not in %1, Match Case").arg(label), absent, text.size(), false, true},
        {QStringLiteral("Find Next up, not in %1").arg(label), absent.toUpper(), text.size(), false, false},
    };
    bool agreed = true;
    for (const Search &search : searches)
        agreed = benchFindNext(*frame.text, text, search, runs) && agreed;
    return agreed;
}

// ---- Delete, Select All, a typed key

struct EditTimes
{
    double deleteMs = 0;
    double selectAllMs = 0;
    double typeMs = 0;
};

double medianMs(int runs, const std::function<void()> &prepare, const std::function<void()> &operation)
{
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        prepare();
        QCoreApplication::processEvents();
        ms.push_back(elapsedMs(operation));
    }
    QCoreApplication::processEvents();
    return median(ms);
}

EditTimes timeEdits(Frame &frame, int runs)
{
    RichTextBox &box = *frame.text;
    const auto caretInTheMiddle = [&box] { (void)box.setSelStart(box.textLength() / 2); };
    EditTimes times;
    times.deleteMs = medianMs(runs, caretInTheMiddle, [] { MenuEdit::EditDelete(); });
    times.selectAllMs = medianMs(runs, caretInTheMiddle, [] { MenuEdit::EditSelectAll(); });
    times.typeMs = medianMs(runs, caretInTheMiddle, [&box] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QCoreApplication::sendEvent(&box, &press);
        QCoreApplication::sendEvent(&box, &release);
    });
    return times;
}

void printEdits(const QString &label, const EditTimes &large, const QString &baselineLabel, const EditTimes &small)
{
    const QString goal = QStringLiteral("under 1 ms");
    printFigure(QStringLiteral("Delete, ") + label, large.deleteMs, QStringLiteral("ms"), small.deleteMs, baselineLabel,
                goal);
    printFigure(QStringLiteral("Select All, ") + label, large.selectAllMs, QStringLiteral("ms"), small.selectAllMs,
                baselineLabel, goal);
    printFigure(QStringLiteral("type a key, ") + label, large.typeMs, QStringLiteral("ms"), small.typeMs,
                baselineLabel, goal);
}

// ---- The caret panel

void benchCaretPanel(const QString &folder, qsizetype size, int rounds)
{
    const QString path = QStringLiteral("%1/line-%2.txt").arg(folder).arg(size);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(generateProse(size, false)) < 0)
        qFatal("cannot write %s", qPrintable(path));
    out.close();
    Frame frame = frameWith(path);
    StatusBar &bar = *frame.window->sbStatusBar;
    const std::function<QString()> panelSource = bar.caretSource();
    RichTextBox &box = *frame.text;
    (void)box.setSelStart(box.textLength() / 2);
    constexpr int keys = 50;
    // Each key's events are done before the next, painting included, as
    // when a person types.
    const auto typeKeys = [&box] {
        for (int key = 0; key < keys; ++key) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QCoreApplication::sendEvent(&box, &press);
            QCoreApplication::sendEvent(&box, &release);
            QCoreApplication::processEvents();
        }
    };
    const auto timeKeys = [&](bool panel) {
        bar.setCaretSource(panel ? panelSource : std::function<QString()>());
        QCoreApplication::processEvents();
        return elapsedMs(typeKeys) / keys;
    };
    std::vector<double> shown;
    std::vector<double> off;
    // In turns, each going first every other round, so that a slow spell
    // falls on both.
    for (int round = -1; round < rounds; ++round) {
        const bool panelFirst = round % 2 == 0;
        const double first = timeKeys(panelFirst);
        const double second = timeKeys(!panelFirst);
        if (round >= 0) {
            shown.push_back(panelFirst ? first : second);
            off.push_back(panelFirst ? second : first);
        }
    }
    bar.setCaretSource(panelSource);
    if (bar.panel(bar.panelCount())->text() != QStringLiteral("Ln 1, Col %1").arg(box.SelStart() + 1))
        qFatal("the caret panel shows %s", qPrintable(bar.panel(bar.panelCount())->text()));
    printFigure(QStringLiteral("type a key, caret panel shown, a line of %1 MB").arg(size / MB), median(shown),
                QStringLiteral("ms"), median(off), QStringLiteral("the caret panel off"), QStringLiteral("1.05"));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool quick = QCoreApplication::arguments().contains(QLatin1StringView("--quick"));
    const qsizetype size = (quick ? 4 : 100) * MB;
    const int runs = quick ? 3 : 9;
    // No message box waits for a person: "Cannot find" is only recorded.
    TestSeam::enable();

    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("cannot create a temporary folder");
    const QString label = QStringLiteral("%1 MB").arg(size / MB);

    EditTimes small;
    {
        Frame frame = frameWith(writeProse(folder.path(), 2 * MB));
        small = timeEdits(frame, quick ? 3 : 200);
    }
    benchCaretPanel(folder.path(), 4 * MB, quick ? 3 : 21);
    Frame frame = frameWith(writeProse(folder.path(), size));
    const bool agreed = benchFindNexts(frame, label, runs);
    printEdits(label, timeEdits(frame, quick ? 3 : 200), QStringLiteral("2 MB"), small);
    return agreed ? 0 : 1;
}
