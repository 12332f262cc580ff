#include "platform/printer.h"
#include "freshsuite.h"
#include "suites.h"

#include <QDir>
#include <QFile>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

QString runPoppler(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(tool, QString::fromLocal8Bit(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The pages of a PDF as text, one entry per page.
QStringList pdfPages(const QString &path)
{
    QStringList pages = runPoppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")})
                            .split(QLatin1Char('\f'));
    if (pages.size() > 1 && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Lines of a page with their blanks collapsed.
QStringList lines(const QString &page)
{
    QStringList result;
    for (const QString &line : page.split(QLatin1Char('\n'))) {
        const QString simple = line.simplified();
        if (!simple.isEmpty())
            result << simple;
    }
    return result;
}

struct WordBox
{
    double left = -1;
    double top = -1;
    double bottom = -1;
};

// Where a word lies on the first page, in points from the page's corner.
WordBox wordBox(const QString &path, const QString &word)
{
    const QString html = runPoppler(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    const QRegularExpression pattern(QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">%1</word>)re")
                                         .arg(QRegularExpression::escape(word)));
    const QRegularExpressionMatch match = pattern.match(html);
    if (!match.hasMatch())
        return {};
    return {match.captured(1).toDouble(), match.captured(2).toDouble(), match.captured(3).toDouble()};
}

} // namespace

class PrinterTest : public FreshStateSuite
{
    Q_OBJECT

    QString pdf(const QString &name = QStringLiteral("out.pdf")) const { return fresh().path(name); }

    // A printer writing to out.pdf in the test's folder, in a known font.
    void toFile(Printer &printer, int pointSize = 12) const
    {
        QCOMPARE(printer.setOutputFile(pdf()).number, 0);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(pointSize);
        printer.setFont(font);
    }

private slots:

    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QFAIL("pdftotext is missing: install poppler-utils");
    }

    void textComesOutInOrderOnItsPages()
    {
        Printer printer;
        toFile(printer);
        for (const char *piece : {"alpha", " ", "beta", " ", "gamma"})
            QCOMPARE(printer.Print(QString::fromLatin1(piece)).number, 0);
        printer.EndLine();
        printer.Print(QStringLiteral("second line"));
        QCOMPARE(printer.Page(), 1);
        QCOMPARE(printer.NewPage().number, 0);
        QCOMPARE(printer.Page(), 2);
        printer.Print(QStringLiteral("delta"));
        printer.NewPage();
        printer.Print(QStringLiteral("epsilon"));
        QCOMPARE(printer.Page(), 3);
        QCOMPARE(printer.EndDoc().number, 0);

        const QStringList pages = pdfPages(pdf());
        QCOMPARE(pages.size(), 3);
        QCOMPARE(lines(pages[0]), QStringList({"alpha beta gamma", "second line"}));
        QCOMPARE(lines(pages[1]), QStringList({"delta"}));
        QCOMPARE(lines(pages[2]), QStringList({"epsilon"}));
    }

    // CurrentY is the top of the line, and words printed one by one land
    // where their measured widths put them.
    void textLandsWhereItWasPlaced()
    {
        Printer printer;
        toFile(printer, 20);
        const QRectF area = printer.qprinter().pageRect(QPrinter::Point);
        QCOMPARE(printer.ScaleWidth(), area.width() * 20);
        QCOMPARE(printer.ScaleHeight(), area.height() * 20);

        printer.Print(QStringLiteral("Top"));
        printer.Print(QStringLiteral(" "));
        const double afterTop = printer.CurrentX();
        QCOMPARE(afterTop, printer.TextWidth(QStringLiteral("Top")) + printer.TextWidth(QStringLiteral(" ")));
        // Letter by letter, as a long word is cut: kerned pairs drawn in one
        // go would pull what follows away from where it was measured.
        for (const QChar letter : QStringLiteral("AVAWAY."))
            printer.Print(QString(letter));
        printer.Print(QStringLiteral(" "));
        const double beforeMark = printer.CurrentX();
        printer.Print(QStringLiteral("Mark"));
        printer.setCurrentX(2880);
        printer.setCurrentY(1440);
        printer.Print(QStringLiteral("Moved"));
        printer.EndLine();
        QCOMPARE(printer.CurrentX(), 0.0);
        QCOMPARE(printer.CurrentY(), 1440 + printer.TextHeight(QStringLiteral("x")));
        QCOMPARE(printer.TextHeight(QStringLiteral("a\nb")), 2 * printer.TextHeight(QStringLiteral("x")));
        printer.Print(QStringLiteral("Below"));
        QCOMPARE(printer.EndDoc().number, 0);

        const double lineHeight = printer.TextHeight(QStringLiteral("x")) / 20;
        const WordBox top = wordBox(pdf(), QStringLiteral("Top"));
        QVERIFY2(qAbs(top.left - area.left()) < 1, qPrintable(QString::number(top.left)));
        QVERIFY2(top.top >= area.top() - 1 && top.bottom <= area.top() + lineHeight + 1,
                 qPrintable(QStringLiteral("%1..%2").arg(top.top).arg(top.bottom)));
        const WordBox kerned = wordBox(pdf(), QStringLiteral("AVAWAY."));
        QVERIFY2(qAbs(kerned.left - (area.left() + afterTop / 20)) < 0.5, qPrintable(QString::number(kerned.left)));
        const WordBox mark = wordBox(pdf(), QStringLiteral("Mark"));
        QVERIFY2(qAbs(mark.left - (area.left() + beforeMark / 20)) < 0.5, qPrintable(QString::number(mark.left)));
        const WordBox moved = wordBox(pdf(), QStringLiteral("Moved"));
        QVERIFY2(qAbs(moved.left - (area.left() + 144)) < 0.5, qPrintable(QString::number(moved.left)));
        QVERIFY2(qAbs(moved.top - top.top - 72) < 0.5, qPrintable(QString::number(moved.top)));
        const WordBox below = wordBox(pdf(), QStringLiteral("Below"));
        QVERIFY2(qAbs(below.top - moved.top - lineHeight) < 0.5, qPrintable(QString::number(below.top)));
    }

    void aJobWithoutOutputWritesNoFile()
    {
        Printer printer;
        toFile(printer);
        QCOMPARE(printer.EndDoc().number, 0);
        printer.NewPage();
        printer.Print(QString());
        QCOMPARE(printer.Page(), 2);
        QCOMPARE(printer.EndDoc().number, 0);
        QCOMPARE(printer.Page(), 1);
        QVERIFY(!QFile::exists(pdf()));
        QCOMPARE(printer.Port(), pdf());
    }

    // Each job starts at page 1 and goes to a file of its own: "name (n).pdf"
    // for every job after the first, until the output is chosen again.
    void endDocRestartsAtPageOneInAFileOfItsOwn()
    {
        Printer printer;
        toFile(printer);
        QCOMPARE(printer.Port(), pdf());
        printer.Print(QStringLiteral("first"));
        printer.NewPage();
        printer.Print(QStringLiteral("job"));
        printer.EndDoc();
        QCOMPARE(printer.Page(), 1);
        QCOMPARE(printer.Port(), pdf(QStringLiteral("out (2).pdf")));
        printer.Print(QStringLiteral("second"));
        QCOMPARE(printer.Page(), 1);
        printer.EndDoc();

        QCOMPARE(pdfPages(pdf()).size(), 2);
        QCOMPARE(lines(pdfPages(pdf(QStringLiteral("out (2).pdf"))).value(0)), QStringList({"second"}));

        // A page ended before the first output still counts as a page.
        printer.NewPage();
        printer.Print(QStringLiteral("third"));
        printer.EndDoc();
        const QStringList third = pdfPages(pdf(QStringLiteral("out (3).pdf")));
        QCOMPARE(third.size(), 2);
        QCOMPARE(lines(third[1]), QStringList({"third"}));

        QCOMPARE(printer.setOutputFile(pdf()).number, 0);
        QCOMPARE(printer.Port(), pdf());
    }

    void anAbortedJobLeavesNoFile()
    {
        Printer printer;
        toFile(printer);
        printer.Print(QStringLiteral("half"));
        printer.NewPage();
        printer.Print(QStringLiteral("done"));
        printer.AbortDoc();
        QCOMPARE(printer.Page(), 1);
        QVERIFY(!QFile::exists(pdf()));
        printer.Print(QStringLiteral("again"));
        QCOMPARE(printer.EndDoc().number, 0);
        QCOMPARE(lines(pdfPages(pdf()).value(0)), QStringList({"again"}));
    }

    void anUnwritableFileIsReportedAndNothingWritten()
    {
        Printer printer;
        const QString missing = fresh().path(QStringLiteral("gone/out.pdf"));
        QCOMPARE(printer.setOutputFile(missing).number, 0);
        Error error = printer.Print(QStringLiteral("text"));
        QCOMPARE(error.number, ErrorNumber::PathNotFound);
        QVERIFY2(error.description.contains(missing), qPrintable(error.description));
        QCOMPARE(printer.EndDoc().number, 0);
        QVERIFY(!QFile::exists(missing));

        // A folder where the file should be: even root cannot write it.
        const QString folder = fresh().path(QStringLiteral("taken.pdf"));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(printer.setOutputFile(folder).number, 0);
        error = printer.Print(QStringLiteral("text"));
        QCOMPARE(error.number, ErrorNumber::PathFileAccessError);
        QVERIFY2(error.description.contains(folder), qPrintable(error.description));
        printer.AbortDoc();
        QVERIFY(QFileInfo(folder).isDir());
    }

    void aPdfFileRejectsDoubleSided()
    {
        Printer printer;
        toFile(printer);
        QCOMPARE(printer.Duplex(), 1);
        for (int mode : {2, 3}) {
            const Error error = printer.setDuplex(mode);
            QCOMPARE(error.number, ErrorNumber::InvalidPropertyValue);
            QVERIFY2(error.description.contains(pdf()), qPrintable(error.description));
            QCOMPARE(printer.Duplex(), 1);
        }
        QCOMPARE(printer.setDuplex(1).number, 0);
        QCOMPARE(printer.setDuplex(0).number, ErrorNumber::InvalidPropertyValue);
        QCOMPARE(printer.setDuplex(4).number, ErrorNumber::InvalidPropertyValue);
    }

    // Without a printer on the system the document goes to a PDF file named
    // after it, in the documents folder or, without one, the home folder.
    void withoutPrintersTheDocumentGoesToAPdfFile()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("this system has a printer");
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(!QFileInfo::exists(documents));

        Printer &printer = ThePrinter();
        QCOMPARE(printer.setTrackDefault(true).number, 0);
        QCOMPARE(printer.DeviceName(), QStringLiteral("Print to File (PDF)"));
        printer.setDocumentName(QStringLiteral("Untitled3"));
        QCOMPARE(printer.Port(), QDir(fresh().homeFolder()).filePath(QStringLiteral("Untitled3.pdf")));

        QVERIFY(QDir().mkpath(documents));
        printer.setDocumentName(QStringLiteral("/somewhere/else/notes.txt"));
        const QString expected = QDir(documents).filePath(QStringLiteral("notes.txt.pdf"));
        QCOMPARE(printer.Port(), expected);
        QCOMPARE(printer.setDuplex(3).number, ErrorNumber::InvalidPropertyValue);
        printer.Print(QStringLiteral("notes"));
        QCOMPARE(printer.EndDoc().number, 0);
        QCOMPARE(lines(pdfPages(expected).value(0)), QStringList({"notes"}));
    }

    // Print Setup changes the QPrinter itself; tracking the default keeps
    // what the user chose there.
    void aFileChosenInPrintSetupIsKept()
    {
        Printer printer;
        printer.qprinter().setOutputFormat(QPrinter::PdfFormat);
        printer.qprinter().setOutputFileName(pdf(QStringLiteral("chosen.pdf")));
        QCOMPARE(printer.setTrackDefault(true).number, 0);
        QCOMPARE(printer.DeviceName(), QStringLiteral("Print to File (PDF)"));
        QCOMPARE(printer.Port(), pdf(QStringLiteral("chosen.pdf")));
        printer.setDocumentName(QStringLiteral("Untitled1"));
        QCOMPARE(printer.Port(), pdf(QStringLiteral("chosen.pdf")));
        printer.Print(QStringLiteral("chosen"));
        printer.EndDoc();
        QCOMPARE(lines(pdfPages(pdf(QStringLiteral("chosen.pdf"))).value(0)), QStringList({"chosen"}));
    }

    // A font set during a job applies from there on, not to what came before.
    void theFontReachesThePage()
    {
        Printer printer;
        toFile(printer, 10);
        const double small = printer.TextHeight(QStringLiteral("x"));
        const double narrow = printer.TextWidth(QStringLiteral("light"));
        printer.Print(QStringLiteral("light"));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(20);
        font.setBold(true);
        font.setItalic(true);
        printer.setFont(font);
        QCOMPARE(printer.Font(), font);
        QVERIFY(printer.TextHeight(QStringLiteral("x")) > 1.8 * small);
        QVERIFY(printer.TextWidth(QStringLiteral("light")) > 1.8 * narrow);
        printer.Print(QStringLiteral("heavy"));
        printer.EndDoc();
        const QString fonts = runPoppler(QStringLiteral("pdffonts"), {pdf()});
        QVERIFY2(fonts.contains(QRegularExpression(QStringLiteral("(?m)^DejaVuSans\\s"))), qPrintable(fonts));
        QVERIFY2(fonts.contains(QStringLiteral("DejaVuSans-BoldOblique")), qPrintable(fonts));
        QCOMPARE(pdfPages(pdf()).value(0).simplified(), QStringLiteral("light heavy"));
    }
};

QUILLORY_SUITE(PrinterTest)
#include "tst_printer.moc"
