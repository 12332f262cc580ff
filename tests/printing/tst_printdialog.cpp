#include "filebytes.h"
#include "freshsuite.h"
#include "platform/printer.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "printing/frmpreview.h"
#include "printing/frmprintdlg.h"
#include "programsuite.h"
#include "suites.h"

#include <QtPrintSupport>
#include <QtTest>
#include <QtWidgets>

namespace {

struct Word
{
    QString text;
    double left, top, bottom; // points from the page's corner
};

// The words of each page of a PDF, in reading order, as pdftotext finds them.
QList<QList<Word>> pdfPages(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    process.waitForFinished(20000);
    const QRegularExpression word(
        QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<QList<Word>> pages;
    for (const QString &page : QString::fromUtf8(process.readAllStandardOutput()).split(QStringLiteral("<page ")).mid(1)) {
        pages.append(QList<Word>());
        for (const QRegularExpressionMatch &m : word.globalMatch(page))
            pages.last().append(
                {m.captured(4), m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble()});
    }
    return pages;
}

QStringList words(const QString &text)
{
    return text.simplified().split(u' ', Qt::SkipEmptyParts);
}

// Types into a box as a user would, over what it held.
void typeInto(QLineEdit *box, const QString &text)
{
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

void typeCopies(frmPrintDlg &print, const QString &copies)
{
    typeInto(print.Text2, copies);
}

void clickOption(QRadioButton *option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
}

// Chooses Pa&ges from..to, or All when from is empty.
void chooseRange(frmPrintDlg &print, const QString &from, const QString &to)
{
    if (from.isEmpty())
        return clickOption(print.Option1[0]);
    clickOption(print.Option1[1]);
    typeInto(print.Text1[0], from);
    typeInto(print.Text1[1], to);
}

QList<QStringList> wordsOfPages(const QString &pdf)
{
    QList<QStringList> pages;
    for (const QList<Word> &page : pdfPages(pdf)) {
        pages.append(QStringList());
        for (const Word &word : page)
            pages.last() << word.text;
    }
    return pages;
}

// A page number of a row: a number, or "last" and what is added to it.
int pageNumber(const QString &row, int last)
{
    return row.startsWith(QLatin1String("last")) ? last + row.mid(4).toInt() : row.toInt();
}

QString numbered(const QString &pdf, int job)
{
    return pdf.chopped(4) + QStringLiteral(" (%1).pdf").arg(job);
}

} // namespace

class PrintDialogTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    // Ctrl+P, Selected Text, the copies typed (digits only) and Enter: each
    // copy is a job of its own, numbered from page 1, on the first name
    // nothing has taken when the dialog opens and when each job starts; the
    // selection's words come out in order between header and footer, drawn
    // where they were measured.
    void printingPutsTheSelectionOnNumberedPagesInFilesNothingHasTaken()
    {
        resetThePrinter();
        activeFrame();
        QString chosen;
        for (int line = 1; line <= 120; ++line)
            chosen += QStringLiteral("line%1 AVAWAY beta\r\n").arg(line);
        RichTextBox &text = *document(1)->Text1;
        // Kerned pairs in a proportional font would pull what follows away
        // from where it was measured.
        text.setFontName(QStringLiteral("DejaVu Sans"));
        text.setSelText(QStringLiteral("before\r\n") + chosen + QStringLiteral("after"));
        QVERIFY(text.setSelStart(8).ok() && text.setSelLength(int(chosen.size())).ok());
        const QString pdf = QDir(fresh().homeFolder()).filePath(QStringLiteral("Untitled1.pdf"));
        QVERIFY(writeBytes(pdf, "old") && writeBytes(numbered(pdf, 3), "old"));
        QString where;
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &print = static_cast<frmPrintDlg &>(dialog);
            where = print.Label1[5]->text();
            QVERIFY(writeBytes(numbered(pdf, 2), "old"));
            QTest::mouseClick(print.Option2[1], Qt::LeftButton, {}, QPoint(6, print.Option2[1]->height() / 2));
            typeCopies(print, QStringLiteral("x2-y"));
            QTest::keyClick(print.Text2, Qt::Key_Return);
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(where, numbered(pdf, 2));
        QVERIFY2(TestSeam::shownMessages().isEmpty(), qPrintable(TestSeam::shownMessages().value(0).text));
        for (const QString &kept : {pdf, numbered(pdf, 2), numbered(pdf, 3)})
            QCOMPARE(readBytes(kept), QByteArray("old"));
        QVERIFY(!QFileInfo::exists(numbered(pdf, 6)));

        const QStringList date = words(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        Printer &printer = ThePrinter();
        const QRectF area = printer.qprinter().pageRect(QPrinter::Point);
        for (const QString &job : {numbered(pdf, 4), numbered(pdf, 5)}) {
            const QList<QList<Word>> pages = pdfPages(job);
            QVERIFY2(pages.size() >= 2, qPrintable(job));
            QStringList body;
            for (int page = 0; page < pages.size(); ++page) {
                QStringList printed;
                for (const Word &word : pages[page])
                    printed << word.text;
                const QStringList footer = date + QStringList {QStringLiteral("Page"), QString::number(page + 1)};
                QCOMPARE(printed.mid(0, 3) + printed.mid(printed.size() - footer.size()),
                         QStringList({"Quillory", "-", "Untitled1"}) + footer);
                body += printed.mid(3, printed.size() - 3 - footer.size());
            }
            QCOMPARE(body, words(chosen));
            // The first line's top on the top margin, its words where the
            // printer measured them from the left margin.
            const Word &line1 = pages[0][3], &beta = pages[0][5];
            const double lineHeight = printer.TextHeight(QStringLiteral("x")) / 20;
            QVERIFY(line1.top > area.top() + 71 && line1.bottom < area.top() + 73 + lineHeight);
            QVERIFY(qAbs(line1.left - area.left() - 36) < 0.5);
            QVERIFY(qAbs(beta.left - area.left() - 36 - printer.TextWidth(QStringLiteral("line1 AVAWAY ")) / 20) < 0.5);
        }
    }

    // Zoom is the screen's: the same words come out at the same places.
    void aZoomedDocumentPrintsAsItWouldUnzoomed()
    {
        resetThePrinter();
        activeFrame();
        RichTextBox &text = *document(1)->Text1;
        text.setSelText(QStringLiteral("zoom\tis for\r\nthe screen only\r\n"));
        QStringList printed;
        for (int zoom : {100, 250}) {
            if (zoom != 100) {
                const QPointF at = text.viewport()->rect().center();
                QWheelEvent wheel(at, text.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 6 * 120), Qt::NoButton,
                                  Qt::ControlModifier, Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(text.viewport(), &wheel);
            }
            QCOMPARE(text.zoom(), zoom);
            const QString out = fresh().path(QStringLiteral("zoom%1.pdf").arg(zoom));
            QCOMPARE(ThePrinter().setOutputFile(out).number, 0);
            TestSeam::queueModalAction([](QDialog &dialog) {
                QTest::mouseClick(static_cast<frmPrintDlg &>(dialog).cmdPrint, Qt::LeftButton);
            });
            Quillo::MainForm->mnuFile1[7]->trigger();
            QString page;
            for (const Word &word : pdfPages(out).value(0))
                page += QStringLiteral("%1 %2,%3,%4; ").arg(word.text).arg(word.left).arg(word.top).arg(word.bottom);
            printed << page;
        }
        QVERIFY(printed[0].contains(QStringLiteral("screen")));
        QCOMPARE(printed[1], printed[0]);
    }

    void aRangeOfPagesPrintsThosePagesOfEveryCopy_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("pages 3 to 4") << "3" << "4" << "";
        QTest::newRow("past the end, the pages there are") << "last-1" << "last+50" << "";
        QTest::newRow("beyond the last page, nothing")
            << "last+1" << "last+2" << "Error. The printout ends at page %1: pages %2 to %3 hold nothing to print!";
        QTest::newRow("a page box left empty") << "2" << "" << "Error. Page Number cannont be left empty!";
        QTest::newRow("from after to") << "4" << "3"
            << "Error. Page Number (from) cannont be greater than Page Number (to)!";
    }

    // Each of two copies is a job of its own holding the pages of the range
    // exactly as the whole printout has them, numbers included; a range the
    // printout does not reach, or one the checks refuse, prints nothing and
    // leaves the dialog open.
    void aRangeOfPagesPrintsThosePagesOfEveryCopy()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        resetThePrinter();
        loadedFrame();
        QString text;
        for (int line = 1; line <= 400; ++line)
            text += QStringLiteral("line%1 of a text that fills some pages\r\n").arg(line);
        document(1)->Text1->setSelText(text);
        const QString out = fresh().path(QStringLiteral("out.pdf"));
        QCOMPARE(ThePrinter().setOutputFile(out).number, 0);
        TestSeam::queueModalAction([](QDialog &dialog) {
            QTest::mouseClick(static_cast<frmPrintDlg &>(dialog).cmdPrint, Qt::LeftButton);
        });
        Quillo::MainForm->mnuFile1[7]->trigger();
        const QList<QStringList> whole = wordsOfPages(out);
        QVERIFY(whole.size() >= 5);
        const int first = pageNumber(from, int(whole.size())), last = pageNumber(to, int(whole.size()));

        bool stayedOpen = false;
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &print = static_cast<frmPrintDlg &>(dialog);
            chooseRange(print, QString::number(first), to.isEmpty() ? QString() : QString::number(last));
            typeCopies(print, QStringLiteral("2"));
            QTest::mouseClick(print.cmdPrint, Qt::LeftButton);
            stayedOpen = print.isVisible();
        });
        Quillo::MainForm->mnuFile1[7]->trigger();
        if (!message.isEmpty()) {
            QVERIFY(stayedOpen);
            QCOMPARE(TestSeam::shownMessages().size(), 1);
            QCOMPARE(TestSeam::shownMessages().at(0).text, message.arg(whole.size()).arg(first).arg(last));
            QCOMPARE(TestSeam::shownMessages().at(0).title, QStringLiteral("Print"));
            QVERIFY(!QFileInfo::exists(numbered(out, 2)));
            return;
        }
        QVERIFY2(TestSeam::shownMessages().isEmpty(), qPrintable(TestSeam::shownMessages().value(0).text));
        // The file chosen takes the first job since the dialog opened.
        for (const QString &copy : {out, numbered(out, 2)})
            QCOMPARE(wordsOfPages(copy), whole.mid(first - 1, last - first + 1));
        QVERIFY(!QFileInfo::exists(numbered(out, 3)));
    }

    void thePreviewShowsAndPrintsWhatPrintWould_data()
    {
        QTest::addColumn<bool>("selection");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("all text") << false << "" << "";
        QTest::newRow("selected text") << true << "" << "";
        QTest::newRow("pages 2 to 3") << false << "2" << "3";
    }

    // Paged through with the keys, the preview shows the pages Print prints,
    // word for word; Print there prints them as Print in the dialog does and
    // closes both windows.
    void thePreviewShowsAndPrintsWhatPrintWould()
    {
        QFETCH(bool, selection);
        QFETCH(QString, from);
        QFETCH(QString, to);
        resetThePrinter();
        loadedFrame();
        QString chosen;
        for (int line = 1; line <= 250; ++line)
            chosen += QStringLiteral("line%1\tof what\tis chosen\r\n").arg(line);
        RichTextBox &text = *document(1)->Text1;
        text.setSelText(QStringLiteral("before\r\n") + chosen + QStringLiteral("after"));
        QVERIFY(text.setSelStart(8).ok() && text.setSelLength(int(chosen.size())).ok());
        const QString out = fresh().path(QStringLiteral("out.pdf"));
        QCOMPARE(ThePrinter().setOutputFile(out).number, 0);
        auto choose = [&](frmPrintDlg &print) {
            clickOption(print.Option2[selection ? 1 : 0]);
            chooseRange(print, from, to);
        };
        TestSeam::queueModalAction([&](QDialog &dialog) {
            choose(static_cast<frmPrintDlg &>(dialog));
            QTest::mouseClick(static_cast<frmPrintDlg &>(dialog).cmdPrint, Qt::LeftButton);
        });
        Quillo::MainForm->mnuFile1[7]->trigger();
        QList<QStringList> printed = wordsOfPages(out);
        QVERIFY(printed.size() >= 2);

        bool bothClosed = false;
        frmPrintDlg *dialogShown = nullptr;
        QList<QStringList> previewed;
        TestSeam::queueModalAction([&](QDialog &dialog) {
            dialogShown = static_cast<frmPrintDlg *>(&dialog);
            choose(*dialogShown);
            QTest::mouseClick(dialogShown->cmdPreview, Qt::LeftButton);
            bothClosed = !dialog.isVisible();
        });
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &preview = static_cast<frmPreview &>(dialog);
            QVERIFY(QTest::qWaitForWindowActive(&preview));
            QTest::keyClick(&preview, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClick(&preview, Qt::Key_Home, Qt::ControlModifier);
            QVERIFY(preview.counted());
            for (qint64 page = preview.currentPage(); page <= preview.knownLastPage(); ++page) {
                QCOMPARE(preview.currentPage(), page);
                previewed.append(words(preview.shownTexts(0).join(u' ')));
                std::sort(previewed.last().begin(), previewed.last().end());
                // The header is drawn on white paper.
                const QImage header = preview.shownPaper(0).copy(0, 0, preview.shownPaper(0).width(), 100);
                QImage blank(header.size(), header.format());
                blank.fill(Qt::white);
                QVERIFY(header != blank && header.pixel(0, 0) == blank.pixel(0, 0));
                QTest::keyClick(&preview, Qt::Key_PageDown);
            }
            QTest::keyClick(&preview, Qt::Key_P, Qt::ControlModifier);
        });
        Quillo::MainForm->mnuFile1[7]->trigger();
        QVERIFY2(TestSeam::shownMessages().isEmpty(), qPrintable(TestSeam::shownMessages().value(0).text));
        QVERIFY(bothClosed);
        QCOMPARE(wordsOfPages(out), printed);
        for (QStringList &page : printed)
            std::sort(page.begin(), page.end());
        QCOMPARE(previewed, printed);
    }

    void whatPrintRefusesOrFailsOnIsReportedOnceAndNothingIsWritten_data()
    {
        QTest::addColumn<QString>("copies");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("no copies") << "0" << "out.pdf" << "Error. Number of copies cannont be less than 1!";
        QTest::newRow("a file whose folder is missing") << "1" << "gone/out.pdf"
            << "Error. Path not found: cannot write the PDF file '%1', its folder does not exist";
        // Even root cannot write there.
        QTest::newRow("a file with a folder in its place") << "1" << "taken.pdf"
            << "Error. Path/File access error: cannot write the PDF file '%1'";
    }

    // The dialog stays open and the pointer comes back.
    void whatPrintRefusesOrFailsOnIsReportedOnceAndNothingIsWritten()
    {
        QFETCH(QString, copies);
        QFETCH(QString, file);
        resetThePrinter();
        loadedFrame();
        document(1)->Text1->setSelText(QStringLiteral("lost"));
        QVERIFY(QDir().mkpath(fresh().path(QStringLiteral("taken.pdf"))));
        QCOMPARE(ThePrinter().setOutputFile(fresh().path(file)).number, 0);
        QString pdf;
        bool stayedOpen = false;
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &print = static_cast<frmPrintDlg &>(dialog);
            pdf = print.Label1[5]->text();
            typeCopies(print, copies);
            QTest::mouseClick(print.cmdPrint, Qt::LeftButton);
            stayedOpen = print.isVisible();
        });
        Quillo::MainForm->mnuFile1[7]->trigger();
        QVERIFY(stayedOpen);
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        QTEST(QString(TestSeam::shownMessages().at(0).text).replace(pdf, QStringLiteral("%1")), "message");
        QCOMPARE(TestSeam::shownMessages().at(0).title, QStringLiteral("Print"));
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
        QVERIFY(!QFileInfo(pdf).isFile());
    }

    // Once the box is left the spinner takes its count up from its upper
    // arrow, down from its lower one; a box left empty holds 1.
    void theCopySpinnerFollowsTheBox()
    {
        resetThePrinter();
        loadedFrame();
        frmPrintDlg print(Quillo::MainForm);
        print.show();
        print.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&print));
        typeCopies(print, QStringLiteral("25"));
        QTest::keyClick(print.Text2, Qt::Key_Tab);
        for (int y : {2, print.VScroll1->height() - 3, print.VScroll1->height() - 3})
            QTest::mouseClick(print.VScroll1, Qt::LeftButton, {}, QPoint(print.VScroll1->width() / 2, y));
        QCOMPARE(print.Text2->text(), QStringLiteral("24"));
        typeCopies(print, QString());
        QTest::keyClick(print.Text2, Qt::Key_Tab);
        QCOMPARE(print.Text2->text(), QStringLiteral("1"));
    }

    // Neither the dialog (for a PDF file) nor Print Setup offers page range,
    // collation, order or sides, which printing would not honour; the file
    // and the copy count chosen in Print Setup are honoured, each copy a job
    // of its own on a name nothing has taken.
    void printSetupOffersOnlyWhatPrintingHonours()
    {
        resetThePrinter();
        loadedFrame();
        document(1)->Text1->setSelText(QStringLiteral("set up"));
        const QString chosen = fresh().path(QStringLiteral("chosen.pdf"));
        QVERIFY(writeBytes(numbered(chosen, 2), "old"));
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &print = static_cast<frmPrintDlg &>(dialog);
            QVERIFY(!print.Option3[1]->isEnabled() && !print.Option3[2]->isEnabled());
            QTest::mouseClick(print.cmdSetup, Qt::LeftButton);
            QVERIFY(!print.Option3[1]->isEnabled() && !print.Option3[2]->isEnabled());
            QCOMPARE(print.Text2->text(), QStringLiteral("2"));
            QCOMPARE(print.Label1[5]->text(), chosen);
            QCOMPARE(ThePrinter().qprinter().copyCount(), 1);
            QTest::mouseClick(print.cmdPrint, Qt::LeftButton);
        });
        QStringList offered;
        TestSeam::queueModalAction([&](QDialog &setup) {
            for (QPushButton *button : setup.findChildren<QPushButton *>())
                if (button->text() == QStringLiteral("&Options >>"))
                    QTest::mouseClick(button, Qt::LeftButton);
            QTabWidget *tabs = setup.findChild<QTabWidget *>();
            for (int tab = 0; tab < tabs->count(); ++tab) {
                QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(tab).center());
                for (QAbstractButton *button : setup.findChildren<QAbstractButton *>())
                    offered << (button->isVisible() ? button->text() : QString());
            }
            QTest::keyClick(setup.findChild<QLineEdit *>(QStringLiteral("filename")), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(setup.findChild<QLineEdit *>(QStringLiteral("filename")), chosen);
            QTest::keyClick(setup.findChild<QSpinBox *>(QStringLiteral("copies")), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(setup.findChild<QSpinBox *>(QStringLiteral("copies")), QStringLiteral("2"));
            QTest::mouseClick(setup.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        Quillo::MainForm->mnuFile1[7]->trigger();
        for (const char *notHonoured : {"Print all", "Pages from", "Collate", "Reverse", "Off", "Long side binding"})
            QVERIFY2(!offered.contains(QLatin1String(notHonoured)), qPrintable(offered.join(u'|')));
        QVERIFY2(TestSeam::shownMessages().isEmpty(), qPrintable(TestSeam::shownMessages().value(0).text));
        QCOMPARE(readBytes(numbered(chosen, 2)), QByteArray("old"));
        QVERIFY(QFileInfo::exists(chosen) && QFileInfo::exists(numbered(chosen, 3)));
        QVERIFY(!QFileInfo::exists(numbered(chosen, 4)));
    }
};

QUILLORY_SUITE(PrintDialogTest)
// What is drawn where, and what a file that cannot be written gives, is seen
// through the Print dialog; here, which file each job goes to.
class PrinterTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    // A chosen file takes only the first job that prints anything.
    void aJobWithoutOutputOrGivenUpWritesNoFile()
    {
        const QString out = fresh().path(QStringLiteral("out.pdf"));
        Printer printer;
        QCOMPARE(printer.setOutputFile(out).number, 0);
        QCOMPARE(printer.EndDoc().number, 0);
        printer.Print(QStringLiteral("half"));
        printer.AbortDoc();
        QVERIFY(!QFile::exists(out));
        printer.Print(QStringLiteral("whole"));
        QCOMPARE(printer.EndDoc().number, 0);
        QVERIFY(QFile::exists(out));
        QCOMPARE(printer.Port(), numbered(out, 2));
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
#include "tst_printdialog.moc"
