// Times the drafts of unsaved text in a frame whose document holds 100 MB of
// prose, and prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// A typed key while drafts are written after every pause, against the same
// key while none is written; the longest the interface thread goes without
// running its event loop while a draft of the whole text is written, against
// the same idle; the time from the last key to a draft on the disk, against
// the pause that the draft waits for.
//
// Usage: bench_drafts [--quick]
//   --quick  a 4 MB document, fewer keys: a smoke run.

#include "benchsupport.h"
#include "document/draft.h"
#include "document/frmnotepad.h"
#include "document/menuedit.h"
#include "platform/richtextbox.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

// A typed key, the document's change and its draft's timers with it.
double keyMs(RichTextBox &text)
{
    return elapsedMs([&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QCoreApplication::sendEvent(&text, &press);
        QCoreApplication::sendEvent(&text, &release);
    });
}

std::vector<double> keys(RichTextBox &text, int count)
{
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        times.push_back(keyMs(text));
        // Time between keys, as a typist's, for the paint and for a draft
        // to start (whose thread then writes while the next keys come).
        QElapsedTimer gap;
        gap.start();
        while (gap.elapsed() < 20)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return times;
}

// The longest time between two ticks of a 1 ms timer until done() holds.
double longestStallMs(const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, (now - last) / 1e6);
        last = now;
    });
    tick.start(1);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return longest;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool quick = QCoreApplication::arguments().contains(QStringLiteral("--quick"));
    QTemporaryDir folder;
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath(QStringLiteral("data"))));
    QCoreApplication::setOrganizationName(QStringLiteral("Tallowmere"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillory"));

    const qsizetype size = quick ? 4 * MB : 100 * MB;
    const QString path = folder.filePath(QStringLiteral("prose.txt"));
    {
        QFile out(path);
        const QByteArray prose = generateProse(size, true);
        if (!out.open(QIODevice::WriteOnly) || out.write(prose) != prose.size())
            qFatal("cannot write %s", qPrintable(path));
    }
    const QString label = QStringLiteral("%1 MB").arg(size / MB);

    Quillo::resetModules();
    MenuEdit::CutAllowed = true;
    MenuEdit::PasteAllowed = true;
    auto frame = std::make_unique<frmMainNote>();
    frame->Show();
    frame->activateWindow();
    QCoreApplication::processEvents();
    frmNotePad &document = *frame->activeDocument();
    RichTextBox &text = *document.Text1;
    if (text.LoadFile(path).failed())
        qFatal("cannot load %s", qPrintable(path));
    text.setFocus();
    QCoreApplication::processEvents();
    DocumentDraft &draft = document.draft();
    // The outcome of each draft written since the last clear().
    QList<bool> written;
    QObject::connect(&draft, &DocumentDraft::written, [&written](bool ok) { written << ok; });

    // Keys with drafts held back, then with a draft started after each.
    const int count = quick ? 20 : 60;
    Drafts::PauseMs = 1 << 30;
    Drafts::LongestMs = 1 << 30;
    const double offMs = median(keys(text, count));
    Drafts::PauseMs = 1;
    const double onMs = median(keys(text, count));
    while (draft.isWriting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    printFigure(QStringLiteral("a typed key in ") + label + QStringLiteral(" with drafts written"), onMs, QStringLiteral("ms"),
                offMs, QStringLiteral("the same key with no draft written"), QStringLiteral("1.1, and under 1 ms"));

    // The interface thread while a whole draft is written.
    const double idleMs = longestStallMs([&, until = QElapsedTimer()]() mutable {
        if (!until.isValid())
            until.start();
        return until.elapsed() > 500;
    });
    written.clear();
    draft.writeNow();
    const double stallMs = longestStallMs([&] { return !written.isEmpty(); });
    if (written.isEmpty() || !written.first())
        qFatal("the draft was not written");
    printFigure(QStringLiteral("longest stall of the interface while a draft of ") + label + QStringLiteral(" is written"),
                stallMs, QStringLiteral("ms"), idleMs, QStringLiteral("the same while idle"), QStringLiteral("under 16 ms"));

    // From the last key to a draft that a restart would find.
    Drafts::PauseMs = 2000;
    written.clear();
    QElapsedTimer sinceKey;
    keyMs(text);
    sinceKey.start();
    while (written.isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double restorableMs = sinceKey.nsecsElapsed() / 1e6;
    if (!QFileInfo::exists(draft.file()))
        qFatal("no draft on the disk");
    printFigure(QStringLiteral("from the last key to a draft of ") + label + QStringLiteral(" on the disk"), restorableMs,
                QStringLiteral("ms"), Drafts::PauseMs, QStringLiteral("the pause a draft waits for"),
                QStringLiteral("under 3000 ms"));

    Quillo::DocState[1].Modified = false;
    frame.reset();
    Drafts::endRun();
    return 0;
}
