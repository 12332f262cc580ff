// Times the frame's start-up work after the splash (its load, the font box
// filling included) and the font box filling alone as the number of fonts
// grows, and prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)

#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMdiArea>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents();
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void printFigure(const char *name, double value, double baseline, const char *against, const char *goal)
{
    std::printf("%s: %.3g ms (ratio %.2f against %s, goal %s)\n", name, value, value / baseline, against, goal);
    std::fflush(stdout);
}

// Names as a large font collection has them: many families, a few twice.
QStringList fontNames(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("Family %1 %2").arg(i % (count - count / 20)).arg(QChar(u'A' + i % 26));
    names << QStringLiteral("Fixedsys");
    return names;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int runs = 7;

    const double frame = medianMs(runs, [] {
        Quillo::resetModules();
        frmMainNote main;
        main.Show();
        QCoreApplication::processEvents();
    });
    const double plain = medianMs(runs, [] {
        QMainWindow main;
        main.setCentralWidget(new QMdiArea);
        main.show();
        QCoreApplication::processEvents();
    });
    printFigure("frame load with the font boxes", frame, plain, "an empty QMainWindow with a QMdiArea", "under 300 ms");

    const QStringList hundred = fontNames(100);
    const QStringList thousand = fontNames(1000);
    const double fillHundred = medianMs(runs, [&] {
        QComboBox box;
        frmMainNote::fillFontNames(box, hundred);
    });
    const double fillThousand = medianMs(runs, [&] {
        QComboBox box;
        frmMainNote::fillFontNames(box, thousand);
    });
    printFigure("fill the font box, 1000 fonts", fillThousand, fillHundred, "100 fonts", "about 10 (linear)");
    return 0;
}
