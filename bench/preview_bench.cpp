// Times the print preview and printing a range of pages of a 20 MB text, and
// prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// The baselines are the print engine laying the text out alone, without
// drawing, on the same printer in the same run.
//
// Usage: bench_preview [--quick]
//   --quick  one run a figure: a smoke run.

#include "benchsupport.h"
#include "platform/printer.h"
#include "printing/cprintwrap.h"
#include "printing/frmpreview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

const QString header = QStringLiteral("Quillory - prose.txt");

// How long the engine takes to lay the text out until the page begins (0:
// the whole text), and the number of the last page it laid out.
std::pair<double, qint64> layoutMs(const QString &text, qint64 untilPage)
{
    CPrintWrap engine(ThePrinter());
    engine.setHeaderText(header);
    qint64 pages = 0;
    const double ms = elapsedMs([&] {
        pages = engine.LayOut(text, PageStart(), [&](const PageStart &start) {
            return untilPage == 0 || start.page < untilPage;
        });
    });
    return {ms, pages};
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int runs = quick ? 1 : 3;
    QTemporaryDir folder;
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSize(10);
    (void)ThePrinter().setFont(font);
    (void)ThePrinter().setOutputFile(folder.filePath(QStringLiteral("range.pdf")));
    const QString text = QString::fromUtf8(generateProse(20 * MB, true));

    std::vector<double> firstPage, counting, layout, range, layoutBefore;
    qint64 pages = 0;
    for (int run = 0; run < runs; ++run) {
        // From the Preview button to the first page on the screen, and on to
        // the page count, which fills in while the window waits for the user.
        QElapsedTimer clock;
        clock.start();
        auto *preview = new frmPreview(nullptr, text, header, 1, 0);
        preview->show();
        QCoreApplication::processEvents();
        firstPage.push_back(double(clock.nsecsElapsed()) / 1e6);
        while (!preview->counted())
            QCoreApplication::processEvents();
        counting.push_back(double(clock.nsecsElapsed()) / 1e6);
        pages = preview->knownLastPage();
        delete preview;

        const auto [wholeMs, laidOut] = layoutMs(text, 0);
        layout.push_back(wholeMs);
        if (laidOut != pages)
            qFatal("the preview counted %lld pages, the engine %lld", static_cast<long long>(pages),
                   static_cast<long long>(laidOut));

        layoutBefore.push_back(layoutMs(text, 900).first);
        CPrintWrap engine(ThePrinter());
        engine.setHeaderText(header);
        engine.setPageRange(900, 901);
        range.push_back(elapsedMs([&] {
            if (engine.PrintText(text).failed() || engine.PagesPrinted() != 2)
                qFatal("pages 900 to 901 were not printed");
        }));
    }

    std::printf("20 MB of prose: %lld pages\n", static_cast<long long>(pages));
    printFigure(QStringLiteral("preview of 20 MB, first page shown"), median(firstPage), QStringLiteral("ms"), 200,
                QStringLiteral("200 ms"), QStringLiteral("ratio below 1"));
    printFigure(QStringLiteral("preview of 20 MB, all pages counted"), median(counting), QStringLiteral("ms"),
                median(layout), QStringLiteral("the engine's layout of the whole text"),
                QStringLiteral("ratio at most 1.2"));
    printFigure(QStringLiteral("print pages 900-901 of 20 MB"), median(range), QStringLiteral("ms"),
                median(layoutBefore), QStringLiteral("the engine's layout of pages 1-899"),
                QStringLiteral("ratio at most 1.2"));
    return 0;
}
