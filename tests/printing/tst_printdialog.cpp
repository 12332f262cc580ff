#include "filebytes.h"
#include "platform/msgbox.h"
#include "platform/printer.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "printing/frmprintdlg.h"
#include "programsuite.h"
#include "suites.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {

// The pages of a PDF as pdftotext reads them, one entry per page.
QStringList pdfPages(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return {QStringLiteral("<pdftotext failed on %1>").arg(path)};
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(u'\f');
    if (pages.size() > 1 && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The words of a text, in order.
QStringList words(const QString &text)
{
    return text.simplified().split(u' ', Qt::SkipEmptyParts);
}

// The next Print dialog prints, after prepare, and tells where it printed.
QString printThroughDialog(frmMainNote &frame, const std::function<void(frmPrintDlg &)> &prepare = {})
{
    QString port;
    TestSeam::queueModalAction([&](QDialog &dialog) {
        auto &print = static_cast<frmPrintDlg &>(dialog);
        port = print.Label1[5]->text();
        if (prepare)
            prepare(print);
        print.cmdPrint->click();
    });
    frame.mnuFile1[7]->trigger();
    return port;
}

// The texts of the buttons a dialog shows, on every tab.
QStringList shownButtons(QDialog &dialog)
{
    QStringList shown;
    for (QTabWidget *tabs : dialog.findChildren<QTabWidget *>()) {
        for (int tab = 0; tab < tabs->count(); ++tab) {
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(tab).center());
            for (QAbstractButton *button : dialog.findChildren<QAbstractButton *>())
                if (button->isVisible())
                    shown << button->text();
        }
    }
    return shown;
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
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) reads the printed PDF back");
    }

    void aDocumentPrintsToAFileWithHeaderFooterAndEveryWord()
    {
        resetThePrinter();
        frmMainNote &frame = loadedFrame();
        QString text;
        for (int line = 1; line <= 120; ++line)
            text += QStringLiteral("line%1 alpha beta\r\n").arg(line);
        document(1)->Text1->setSelText(text);

        const QString pdf = printThroughDialog(frame);
        QVERIFY(TestSeam::shownMessages().isEmpty());
        const QStringList pages = pdfPages(pdf);
        QVERIFY2(pages.size() >= 2, qPrintable(pages.join(u'|')));
        const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        QStringList printed;
        for (int page = 0; page < pages.size(); ++page) {
            QStringList pageWords = words(pages[page]);
            QCOMPARE(pageWords.mid(0, 3), (QStringList {QStringLiteral("Quillory"), QStringLiteral("-"),
                                                        QStringLiteral("Untitled1")}));
            QVERIFY2(pages[page].contains(date), qPrintable(pages[page]));
            QCOMPARE(pageWords.mid(pageWords.size() - 2),
                     (QStringList {QStringLiteral("Page"), QString::number(page + 1)}));
            printed += pageWords.mid(3, pageWords.size() - 3 - 2 - words(date).size());
        }
        QCOMPARE(printed, words(text));
    }

    // Ctrl+P and Enter: copies are jobs of their own, each numbered from page
    // 1, on the first names nothing has taken when the dialog opens and when
    // each job starts.
    void aPrintNeverReplacesAPdfFileThatIsAlreadyThere()
    {
        resetThePrinter();
        activeFrame();
        document(1)->Text1->setSelText(QStringLiteral("copy me"));
        const QString pdf = QDir(fresh().homeFolder()).filePath(QStringLiteral("Untitled1.pdf"));
        QVERIFY(writeBytes(pdf, "old") && writeBytes(numbered(pdf, 3), "old"));
        QString where;
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &print = static_cast<frmPrintDlg &>(dialog);
            where = print.Label1[5]->text();
            QVERIFY(writeBytes(numbered(pdf, 2), "old"));
            QTest::mouseClick(print.Text2, Qt::LeftButton);
            QTest::keyClick(print.Text2, Qt::Key_End);
            QTest::keyClick(print.Text2, Qt::Key_Backspace);
            QTest::keyClicks(print.Text2, QStringLiteral("2"));
            QTest::keyClick(print.Text2, Qt::Key_Return);
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(where, numbered(pdf, 2));
        for (const QString &kept : {pdf, numbered(pdf, 2), numbered(pdf, 3)})
            QCOMPARE(readBytes(kept), QByteArray("old"));
        for (const QString &job : {numbered(pdf, 4), numbered(pdf, 5)}) {
            const QStringList pages = pdfPages(job);
            QCOMPARE(pages.size(), 1);
            QVERIFY2(pages[0].contains(QStringLiteral("copy me")) && pages[0].contains(QStringLiteral("Page 1")),
                     qPrintable(job + QStringLiteral(": ") + pages[0]));
        }
        QVERIFY(!QFileInfo::exists(numbered(pdf, 6)));
    }

    void selectedTextPrintsOnlyTheSelection()
    {
        resetThePrinter();
        frmMainNote &frame = loadedFrame();
        RichTextBox &text = *document(1)->Text1;
        text.setSelText(QStringLiteral("before chosen after"));
        QVERIFY(text.setSelStart(7).ok());
        QVERIFY(text.setSelLength(6).ok());
        const QString pdf = printThroughDialog(frame, [](frmPrintDlg &print) { print.Option2[1]->setChecked(true); });
        const QStringList printed = words(pdfPages(pdf).value(0));
        QVERIFY(printed.contains(QStringLiteral("chosen")));
        QVERIFY(!printed.contains(QStringLiteral("before")));
        QVERIFY(!printed.contains(QStringLiteral("after")));
    }

    void noCopiesAreRefusedAndNothingIsPrinted()
    {
        resetThePrinter();
        frmMainNote &frame = loadedFrame();
        bool stayedOpen = false;
        const QString pdf = printThroughDialog(frame, [&](frmPrintDlg &print) {
            print.Text2->setText(QStringLiteral("0"));
            QObject::connect(print.cmdPrint, &QPushButton::clicked, &print, [&] { stayedOpen = print.isVisible(); });
        });
        QVERIFY(stayedOpen);
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        QCOMPARE(TestSeam::shownMessages().at(0).text, QStringLiteral("Error. Number of copies cannont be less than 1!"));
        QCOMPARE(TestSeam::shownMessages().at(0).title, QStringLiteral("Print"));
        QVERIFY(!QFileInfo::exists(pdf));
    }

    void aPrinterThatFailsIsReportedOnceAndThePointerComesBack()
    {
        resetThePrinter();
        frmMainNote &frame = loadedFrame();
        document(1)->Text1->setSelText(QStringLiteral("lost"));
        QCOMPARE(ThePrinter().setOutputFile(fresh().path(QStringLiteral("gone/out.pdf"))).number, 0);
        printThroughDialog(frame);
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        const TestSeam::ShownMessage &message = TestSeam::shownMessages().at(0);
        QVERIFY2(message.text.startsWith(QStringLiteral("Error. ")) && message.text.contains(QStringLiteral("out.pdf")),
                 qPrintable(message.text));
        QCOMPARE(message.title, QStringLiteral("Print"));
        QCOMPARE(Screen::mousePointer(), MousePointer::Default);
    }

    void theCopyBoxTakesDigitsOnlyAndFollowsTheSpinner()
    {
        resetThePrinter();
        loadedFrame();
        frmPrintDlg print(Quillo::MainForm);
        print.show();
        print.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&print));
        print.Text2->setFocus();
        print.Text2->selectAll();
        QTest::keyClicks(print.Text2, QStringLiteral("x2-5y"));
        QCOMPARE(print.Text2->text(), QStringLiteral("25"));
        print.cmdPrint->setFocus(); // leaving the box
        // The spinner takes the count up from its upper arrow and keys, down
        // from its lower ones.
        QScrollBar *spinner = print.VScroll1;
        QStyleOptionSlider option;
        option.initFrom(spinner);
        option.orientation = Qt::Vertical;
        QRect upper = spinner->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSubLine, spinner);
        QRect lower = spinner->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddLine, spinner);
        if (upper.top() > lower.top())
            std::swap(upper, lower);
        QTest::mouseClick(spinner, Qt::LeftButton, {}, upper.center());
        QCOMPARE(print.Text2->text(), QStringLiteral("26"));
        QTest::mouseClick(spinner, Qt::LeftButton, {}, lower.center());
        QTest::mouseClick(spinner, Qt::LeftButton, {}, lower.center());
        QCOMPARE(print.Text2->text(), QStringLiteral("24"));
        QTest::keyClick(spinner, Qt::Key_PageUp);
        QTest::keyClick(spinner, Qt::Key_Up);
        QCOMPARE(print.Text2->text(), QStringLiteral("35"));
        QTest::keyClick(spinner, Qt::Key_PageDown);
        QTest::keyClick(spinner, Qt::Key_Down);
        QCOMPARE(print.Text2->text(), QStringLiteral("24"));

        print.Text2->setFocus();
        print.Text2->clear();
        print.Option2[0]->setFocus();
        QCOMPARE(print.Text2->text(), QStringLiteral("1"));

        // Enter in the box presses Print, which takes an empty box as 1.
        print.Text2->setFocus();
        print.Text2->clear();
        QSignalSpy pressed(print.cmdPrint, &QPushButton::clicked);
        QTest::keyClick(print.Text2, Qt::Key_Return);
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(print.Text2->text(), QStringLiteral("1"));
    }

    // Print Setup offers no page range, collation, order or sides, which
    // printing would not honour; the file and the copy count chosen there
    // are honoured, each copy a job of its own on a name nothing has taken.
    void printSetupOffersOnlyWhatPrintingHonours()
    {
        resetThePrinter();
        loadedFrame();
        document(1)->Text1->setSelText(QStringLiteral("set up"));
        const QString chosen = fresh().path(QStringLiteral("chosen.pdf"));
        QVERIFY(writeBytes(numbered(chosen, 2), "old"));
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &print = static_cast<frmPrintDlg &>(dialog);
            QTest::mouseClick(print.cmdSetup, Qt::LeftButton);
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
            offered = shownButtons(setup);
            QVERIFY(setup.findChild<QSpinBox *>(QStringLiteral("copies"))->isVisible());
            auto *file = setup.findChild<QLineEdit *>(QStringLiteral("filename"));
            QTest::keyClick(file, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(file, chosen);
            auto *copies = setup.findChild<QSpinBox *>(QStringLiteral("copies"));
            QTest::keyClick(copies, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(copies, QStringLiteral("2"));
            QTest::mouseClick(setup.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        Quillo::MainForm->mnuFile1[7]->trigger();
        for (const char *notHonoured : {"Print all", "Pages from", "Collate", "Reverse", "Off", "Long side binding"})
            QVERIFY2(!offered.contains(QLatin1String(notHonoured)), qPrintable(offered.join(u'|')));
        QVERIFY2(TestSeam::shownMessages().isEmpty(), qPrintable(TestSeam::shownMessages().value(0).text));
        QCOMPARE(readBytes(numbered(chosen, 2)), QByteArray("old"));
        for (const QString &job : {chosen, numbered(chosen, 3)})
            QVERIFY2(pdfPages(job).value(0).contains(QStringLiteral("set up")), qPrintable(job));
        QVERIFY(!QFileInfo::exists(numbered(chosen, 4)));
    }

    void aPrinterWithoutDuplexDisablesTheDoubleSidedOptions()
    {
        resetThePrinter();
        loadedFrame();
        if (ThePrinter().DeviceName() != Printer::pdfDeviceName())
            QSKIP("this system has a printer; the file stands in only where there is none");
        frmPrintDlg print(Quillo::MainForm);
        QVERIFY(print.Option3[0]->isEnabled());
        QVERIFY(!print.Option3[1]->isEnabled() && !print.Option3[2]->isEnabled());
        TestSeam::queueModalAction([](QDialog &setup) { setup.accept(); });
        print.cmdSetup->click();
        QVERIFY(!print.Option3[1]->isEnabled() && !print.Option3[2]->isEnabled());
        QCOMPARE(print.Label1[6]->text(), Printer::pdfDeviceName());
    }
};

QUILLORY_SUITE(PrintDialogTest)
#include "tst_printdialog.moc"
