#include "platform/printer.h"
#include "freshsuite.h"
#include "suites.h"

#include <QtPrintSupport>
#include <QtTest>

// What is drawn where, and what a file that cannot be written gives, is seen
// through the Print dialog; here, which file each job goes to.
class PrinterTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    // A chosen file takes the first job that prints anything; each job after
    // it starts at page 1 in "name (n).pdf", until the file is chosen again.
    void eachJobGoesToAFileOfItsOwnAndOneWithoutOutputOrGivenUpToNone()
    {
        const QString out = fresh().path(QStringLiteral("out.pdf"));
        Printer printer;
        QCOMPARE(printer.setOutputFile(out).number, 0);
        QCOMPARE(printer.EndDoc().number, 0);
        printer.Print(QStringLiteral("half"));
        printer.AbortDoc();
        QVERIFY(!QFile::exists(out));
        for (const QString &job : {QStringLiteral("out.pdf"), QStringLiteral("out (2).pdf")}) {
            QCOMPARE(printer.Port(), fresh().path(job));
            printer.Print(QStringLiteral("printed"));
            QCOMPARE(printer.NewPage().number, 0);
            QCOMPARE(printer.Page(), 2);
            QCOMPARE(printer.EndDoc().number, 0);
            QCOMPARE(printer.Page(), 1);
            QVERIFY(QFile::exists(fresh().path(job)));
        }
        QCOMPARE(printer.Port(), fresh().path(QStringLiteral("out (3).pdf")));
        QCOMPARE(printer.setOutputFile(out).number, 0);
        QCOMPARE(printer.Port(), out);
    }

    void withoutPrintersADocumentGoesToAPdfFileNamedAfterItInTheDocumentsFolder()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("this system has a printer");
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(QDir().mkpath(documents));
        Printer printer;
        QCOMPARE(printer.setTrackDefault(true).number, 0);
        QCOMPARE(printer.DeviceName(), QStringLiteral("Print to File (PDF)"));
        printer.setDocumentName(QStringLiteral("/somewhere/else/notes.txt"));
        QCOMPARE(printer.Port(), QDir(documents).filePath(QStringLiteral("notes.txt.pdf")));
    }
};

QUILLORY_SUITE(PrinterTest)
#include "tst_printer.moc"
