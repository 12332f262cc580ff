// Times printing prose to a PDF file through the print engine and the
// program's printer, in pages per second, against Debian's enscript piped
// into ps2pdf on the same file, and prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// with the time per page as the value, so that a ratio below 1 is faster.

#include "benchsupport.h"
#include "platform/printer.h"
#include "printing/cprintwrap.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

int pdfPages(const QString &path)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    info.waitForFinished(-1);
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral(R"(Pages:\s+(\d+))")).match(QString::fromUtf8(info.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// enscript's PostScript straight into ps2pdf, as a shell pipeline.
double enscriptMs(const QString &text, const QString &pdf)
{
    return elapsedMs([&] {
        QProcess pipeline;
        pipeline.start(QStringLiteral("sh"),
                       {QStringLiteral("-c"), QStringLiteral("enscript -q -B -p - \"$1\" | ps2pdf - \"$2\""),
                        QStringLiteral("sh"), text, pdf});
        pipeline.waitForFinished(-1);
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const bool haveEnscript = QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"),
                                                                       QStringLiteral("command -v enscript >/dev/null")})
                              == 0;
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSize(10);

    for (int megabytes : {1, 20}) {
        const QByteArray prose = generateProse(megabytes * MB, true);
        const QString textPath = folder.filePath(QStringLiteral("prose%1.txt").arg(megabytes));
        QFile out(textPath);
        if (!out.open(QIODevice::WriteOnly) || out.write(prose) < 0)
            qFatal("cannot write %s", qPrintable(textPath));
        out.close();
        const QString text = QString::fromUtf8(prose);

        const QString ours = folder.filePath(QStringLiteral("ours%1.pdf").arg(megabytes));
        resetThePrinter();
        Printer &printer = ThePrinter();
        (void)printer.setOutputFile(ours);
        (void)printer.setFont(font);
        CPrintWrap wrap(printer);
        const double oursMs = elapsedMs([&] { (void)wrap.PrintText(text); });
        const double oursPages = pdfPages(ours) / (oursMs / 1000);

        if (!haveEnscript) {
            std::printf("print %d MB: %.0f pages/s (enscript is not installed: no baseline)\n", megabytes, oursPages);
            continue;
        }
        const QString theirs = folder.filePath(QStringLiteral("theirs%1.pdf").arg(megabytes));
        const double theirsMs = enscriptMs(textPath, theirs);
        const double theirsPages = pdfPages(theirs) / (theirsMs / 1000);
        printFigure(QStringLiteral("print %1 MB of prose to PDF at %2 pages/s").arg(megabytes).arg(oursPages, 0, 'f', 0),
                    1000 / oursPages, QStringLiteral("ms per page"), 1000 / theirsPages,
                    QStringLiteral("enscript | ps2pdf at %1 pages/s").arg(theirsPages, 0, 'f', 0),
                    QStringLiteral("1 or less"));
        // Pages hold different amounts of text in the two; the whole text
        // takes the same work.
        printFigure(QStringLiteral("print %1 MB of prose to PDF, the whole text").arg(megabytes), oursMs,
                    QStringLiteral("ms"), theirsMs, QStringLiteral("enscript | ps2pdf"), QStringLiteral("1 or less"));
    }

    // One line without a blank: the long-word breaking must stay linear.
    const QString prose = QString::fromUtf8(generateProse(5 * MB, true));
    const QString line = QString::fromUtf8(generateProse(5 * MB, false)).remove(u' ');
    resetThePrinter();
    (void)ThePrinter().setOutputFile(folder.filePath(QStringLiteral("prose5.pdf")));
    (void)ThePrinter().setFont(font);
    const double proseMs = elapsedMs([&] { (void)CPrintWrap(ThePrinter()).PrintText(prose); });
    resetThePrinter();
    (void)ThePrinter().setOutputFile(folder.filePath(QStringLiteral("line5.pdf")));
    (void)ThePrinter().setFont(font);
    const double lineMs = elapsedMs([&] { (void)CPrintWrap(ThePrinter()).PrintText(line); });
    printFigure(QStringLiteral("print a 5 MB line without blanks"), lineMs / line.size() * 1e3,
                QStringLiteral("us per character"), proseMs / prose.size() * 1e3, QStringLiteral("5 MB of prose"),
                QStringLiteral("3 or less"));
    return 0;
}
