#include "printing/frmprintdlg.h"

#include "document/frmnotepad.h"
#include "platform/error.h"
#include "platform/modal.h"
#include "platform/msgbox.h"
#include "platform/printer.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "printing/cprintwrap.h"
#include "printing/frmpreview.h"
#include "shell/artwork.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString title = QStringLiteral("Print");

frmNotePad *activeDocument()
{
    return Quillo::MainForm ? Quillo::MainForm->activeDocument() : nullptr;
}

// What the printer said, as the one message a failed print shows.
void reportFailure(const Error &error)
{
    Screen::setMousePointer(MousePointer::Default);
    MsgBox(QStringLiteral("Error. ") + error.description, MsgBoxStyle::Exclamation, title);
}

} // namespace

frmPrintDlg::frmPrintDlg(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(title);

    // Tab 0: the printer, the range, the copies and what to print.
    auto *options = new QWidget;
    Frame1[0] = new QGroupBox(QStringLiteral("Printer"));
    Label1[0] = new QLabel(QStringLiteral("Name:"));
    Label1[1] = new QLabel(QStringLiteral("Where:"));
    Label1[6] = new QLabel;
    Label1[5] = new QLabel;
    for (QLabel *label : {Label1[5], Label1[6]}) {
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(true);
    }
    cmdSetup = new QPushButton(QStringLiteral("Print &Setup"));
    auto *printerLayout = new QGridLayout(Frame1[0]);
    printerLayout->addWidget(Label1[0], 0, 0);
    printerLayout->addWidget(Label1[6], 0, 1);
    printerLayout->addWidget(cmdSetup, 0, 2);
    printerLayout->addWidget(Label1[1], 1, 0);
    printerLayout->addWidget(Label1[5], 1, 1, 1, 2);
    printerLayout->setColumnStretch(1, 1);

    Frame1[1] = new QGroupBox(QStringLiteral("Print Range"));
    Option1[0] = new QRadioButton(QStringLiteral("&All"));
    Option1[1] = new QRadioButton(QStringLiteral("Pa&ges"));
    Option1[0]->setChecked(true);
    Label1[3] = new QLabel(QStringLiteral("&from:"));
    Label1[4] = new QLabel(QStringLiteral("&to:"));
    Text1[0] = new QLineEdit(QStringLiteral("1"));
    Text1[1] = new QLineEdit;
    for (int index = 0; index < 2; ++index) {
        Text1[index]->setMaxLength(5);
        Text1[index]->setEnabled(false);
        Text1[index]->installEventFilter(this);
        Label1[3 + index]->setBuddy(Text1[index]);
        Label1[3 + index]->setEnabled(false);
    }
    auto *rangeLayout = new QGridLayout(Frame1[1]);
    rangeLayout->addWidget(Option1[0], 0, 0, 1, 4);
    rangeLayout->addWidget(Option1[1], 1, 0);
    rangeLayout->addWidget(Label1[3], 1, 1);
    rangeLayout->addWidget(Text1[0], 1, 2);
    rangeLayout->addWidget(Label1[4], 1, 3);
    rangeLayout->addWidget(Text1[1], 1, 4);

    Frame1[2] = new QGroupBox(QStringLiteral("Copies"));
    Label1[2] = new QLabel(QStringLiteral("Number of &Copies"));
    Text2 = new QLineEdit(QStringLiteral("1"));
    Text2->setMaxLength(4);
    Text2->installEventFilter(this);
    Label1[2]->setBuddy(Text2);
    // It holds the count negated, so that its upper arrow, keys and wheel
    // count up as a spinner's do.
    VScroll1 = new QScrollBar(Qt::Vertical);
    VScroll1->setRange(-9999, -1);
    VScroll1->setValue(-1);
    VScroll1->setFixedHeight(Text2->sizeHint().height());
    auto *copiesLayout = new QHBoxLayout(Frame1[2]);
    copiesLayout->addWidget(Label1[2]);
    copiesLayout->addWidget(Text2);
    copiesLayout->addWidget(VScroll1);

    Frame1[3] = new QGroupBox(QStringLiteral("Print What"));
    Option2[0] = new QRadioButton(QStringLiteral("All Text"));
    Option2[1] = new QRadioButton(QStringLiteral("Selected Text"));
    Option2[0]->setChecked(true);
    auto *whatLayout = new QVBoxLayout(Frame1[3]);
    whatLayout->addWidget(Option2[0]);
    whatLayout->addWidget(Option2[1]);

    auto *optionsLayout = new QGridLayout(options);
    optionsLayout->addWidget(Frame1[0], 0, 0, 1, 2);
    optionsLayout->addWidget(Frame1[1], 1, 0);
    optionsLayout->addWidget(Frame1[2], 1, 1);
    optionsLayout->addWidget(Frame1[3], 2, 1);

    // Tab 1: single- or double-sided.
    auto *sides = new QWidget;
    Frame1[4] = new QGroupBox(QStringLiteral("Duplex"));
    Option3[0] = new QRadioButton(QStringLiteral("Si&ngle Sided"));
    Option3[1] = new QRadioButton(QStringLiteral("Double Sided  (&Horizontal Page Turn)"));
    Option3[2] = new QRadioButton(QStringLiteral("Double Sided  (&Vertical Page Turn)"));
    Option3[0]->setChecked(true);
    Label1[7] = new QLabel(
        QStringLiteral("Note: This feature only works for some printers that support duplex property."));
    Label1[7]->setWordWrap(true);
    Image1 = new QLabel;
    Image1->setPixmap(toolbarIcon(ToolbarImage::Print).pixmap(32, 32));
    auto *duplexLayout = new QVBoxLayout(Frame1[4]);
    for (QRadioButton *option : Option3)
        duplexLayout->addWidget(option);
    duplexLayout->addWidget(Label1[7]);
    auto *sidesLayout = new QHBoxLayout(sides);
    sidesLayout->addWidget(Frame1[4], 1);
    sidesLayout->addWidget(Image1, 0, Qt::AlignTop);

    SSTab1 = new QTabWidget;
    SSTab1->addTab(options, QStringLiteral("&Options"));
    SSTab1->addTab(sides, QStringLiteral("S&ingle/Double Sided"));

    cmdPrint = new QPushButton(QStringLiteral("&Print"));
    cmdPrint->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    cmdCancel->setAutoDefault(false);
    cmdPreview = new QPushButton(QStringLiteral("Pre&view"));
    cmdPreview->setAutoDefault(false);
    imgAdvert = new QLabel;
    imgAdvert->setPixmap(logoPicture(48, devicePixelRatioF()));
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdPrint);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdPreview);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(imgAdvert, 0, Qt::AlignLeft | Qt::AlignTop);
    bottom->addStretch(1);
    bottom->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdSetup, &QPushButton::clicked, this, &frmPrintDlg::cmdSetup_Click);
    for (int index = 0; index < 2; ++index)
        connect(Option1[index], &QRadioButton::clicked, this, [this, index] { Option1_Click(index); });
    connect(VScroll1, &QScrollBar::valueChanged, this, &frmPrintDlg::VScroll1_Change);
    connect(cmdPrint, &QPushButton::clicked, this, &frmPrintDlg::cmdPrint_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPrintDlg::cmdCancel_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &frmPrintDlg::cmdPreview_Click);

    Form_Load();
}

void frmPrintDlg::Form_Load()
{
    Printer &printer = ThePrinter();
    if (frmNotePad *document = activeDocument())
        printer.setDocumentName(document->pathsOf(document->Caption()).value(0));
    (void)printer.setTrackDefault(true);
    probeDuplex();
    showPrinter();
}

void frmPrintDlg::probeDuplex()
{
    Printer &printer = ThePrinter();
    if (printer.setDuplex(3).number == ErrorNumber::InvalidPropertyValue) {
        Option3[1]->setEnabled(false);
        Option3[2]->setEnabled(false);
    }
    (void)printer.setDuplex(1);
}

void frmPrintDlg::showPrinter()
{
    Label1[6]->setText(ThePrinter().DeviceName());
    Label1[5]->setText(ThePrinter().Port());
}

void frmPrintDlg::cmdSetup_Click()
{
    Printer &printer = ThePrinter();
    {
        QPrintDialog setup(&printer.qprinter(), this);
        setup.setWindowTitle(QStringLiteral("Print Setup"));
        setup.setOption(QAbstractPrintDialog::PrintToFile, true);
        // Each copy prints whole, as a job of its own: no range, collation or
        // order is offered there, and the count chosen there becomes ours.
        setup.setOption(QAbstractPrintDialog::PrintPageRange, false);
        setup.setOption(QAbstractPrintDialog::PrintCollateCopies, false);
        setup.installEventFilter(this);
        printer.qprinter().setCopyCount(-VScroll1->value());
        if (ShowModal(setup) == QDialog::Accepted) {
            Text2->setText(QString::number(printer.qprinter().copyCount()));
            Text2_LostFocus();
        }
        printer.qprinter().setCopyCount(1);
    }
    Screen::setMousePointer(MousePointer::Hourglass);
    (void)printer.setTrackDefault(true);
    Option3[1]->setEnabled(true);
    Option3[2]->setEnabled(true);
    probeDuplex();
    showPrinter();
    Screen::setMousePointer(MousePointer::Default);
}

void frmPrintDlg::Option1_Click(int)
{
    const bool pages = Option1[1]->isChecked();
    for (int index = 0; index < 2; ++index) {
        Text1[index]->setEnabled(pages);
        Label1[3 + index]->setEnabled(pages);
    }
}

bool frmPrintDlg::eventFilter(QObject *watched, QEvent *event)
{
    const bool numberBox = watched == Text2 || watched == Text1[0] || watched == Text1[1];
    if (numberBox && event->type() == QEvent::KeyPress) {
        // Only digits are typed into a number box; Backspace, Enter, Tab and
        // the other keys that type nothing keep their work.
        const QString typed = static_cast<QKeyEvent *>(event)->text();
        const bool printable = !typed.isEmpty() && typed.at(0).isPrint();
        if (printable && !(typed.size() == 1 && typed.at(0) >= u'0' && typed.at(0) <= u'9'))
            return true;
    } else if (watched == Text2 && event->type() == QEvent::FocusOut) {
        Text2_LostFocus();
    } else if (event->type() == QEvent::Show && qobject_cast<QPrintDialog *>(watched)) {
        // Print Setup shows its page range and order whatever its options
        // say; its Options tab holds the sides, which this dialog sets itself.
        for (const char *name : {"gbPrintRange", "reverse"}) {
            if (auto *offer = watched->findChild<QWidget *>(QLatin1String(name)))
                offer->hide();
        }
        if (auto *tabs = watched->findChild<QTabWidget *>())
            tabs->setTabVisible(tabs->indexOf(watched->findChild<QWidget *>(QStringLiteral("optionsTab"))), false);
    }
    return QDialog::eventFilter(watched, event);
}

void frmPrintDlg::Text2_LostFocus()
{
    if (Text2->text().isEmpty())
        Text2->setText(QStringLiteral("1"));
    const int n = Text2->text().toInt();
    if (n > 0 && n < 10000)
        VScroll1->setValue(-n);
}

void frmPrintDlg::VScroll1_Change()
{
    Text2->setText(QString::number(-VScroll1->value()));
}

// The checks Print and Preview make first; false once one has said why.
bool frmPrintDlg::settingsAccepted()
{
    // Enter presses Print while the box still has the focus: the box's own
    // rule for leaving it comes first.
    Text2_LostFocus();
    if (Text2->text().toInt() < 1) {
        MsgBox(QStringLiteral("Error. Number of copies cannont be less than 1!"), MsgBoxStyle::Exclamation, title);
        return false;
    }
    if (Option1[1]->isChecked()) {
        if (Text1[0]->text().isEmpty() || Text1[1]->text().isEmpty()) {
            MsgBox(QStringLiteral("Error. Page Number cannont be left empty!"), MsgBoxStyle::Exclamation, title);
            return false;
        }
        if (Text1[0]->text().toInt() > Text1[1]->text().toInt()) {
            MsgBox(QStringLiteral("Error. Page Number (from) cannont be greater than Page Number (to)!"),
                   MsgBoxStyle::Exclamation, title);
            return false;
        }
    }
    return true;
}

// The pages chosen, numbered as in the whole printout; last 0 for all.
std::pair<qint64, qint64> frmPrintDlg::pageRange() const
{
    if (!Option1[1]->isChecked())
        return {1, 0};
    return {Text1[0]->text().toInt(), Text1[1]->text().toInt()};
}

// The range lies past the printout's last page.
void frmPrintDlg::reportNoPages(qint64 lastPage)
{
    const auto [first, last] = pageRange();
    MsgBox(QStringLiteral("Error. The printout ends at page %1: pages %2 to %3 hold nothing to print!")
               .arg(lastPage).arg(first).arg(last),
           MsgBoxStyle::Exclamation, title);
}

PrintedText frmPrintDlg::whatToPrint(RichTextBox &text) const
{
    if (!Option2[0]->isChecked())
        return text.SelText();
    // A document kept in its file is read a stretch at a time.
    if (text.store().file())
        return PrintedText(text.textLength(), [&text](qsizetype from, qsizetype count) { return text.textStretch(from, count); });
    return text.Text();
}

// The printer prints in the document's font, header and footer included.
Error frmPrintDlg::takeDocumentFont(RichTextBox &text)
{
    QFont font = text.font();
    font.setFamily(Screen::fontFamily(text.fontName()));
    return ThePrinter().setFont(font);
}

void frmPrintDlg::cmdPrint_Click()
{
    if (!settingsAccepted())
        return;
    const int copies = Text2->text().toInt();
    frmNotePad *document = activeDocument();
    if (!document || !document->Text1)
        return;
    Printer &printer = ThePrinter();
    for (int mode = 0; mode < 3; ++mode) {
        if (Option3[mode]->isChecked()) {
            if (const Error error = printer.setDuplex(mode + 1); error.failed())
                return reportFailure(error);
            break;
        }
    }
    RichTextBox &text = *document->Text1;
    if (const Error error = takeDocumentFont(text); error.failed())
        return reportFailure(error);

    CPrintWrap wrap(printer);
    wrap.setHeaderText(QStringLiteral("Quillory - ") + document->Caption());
    const auto [first, last] = pageRange();
    wrap.setPageRange(first, last);
    for (qint64 copy = 1; copy <= copies; ++copy) {
        const PrintedText what = whatToPrint(text);
        // A range ending before page 1 holds none.
        if (Option1[1]->isChecked() && last < 1)
            return reportNoPages(wrap.LayOut(what, PageStart(), {}));
        if (const Error error = wrap.PrintText(what); error.failed())
            return reportFailure(error);
        if (wrap.PagesPrinted() == 0)
            return reportNoPages(wrap.LayOut(what, PageStart(), {}));
        if (const Error error = printer.EndDoc(); error.failed())
            return reportFailure(error);
    }
    accept();
}

// What Print would print, page by page; printing from there is Print here.
void frmPrintDlg::cmdPreview_Click()
{
    if (!settingsAccepted())
        return;
    frmNotePad *document = activeDocument();
    if (!document || !document->Text1)
        return;
    RichTextBox &text = *document->Text1;
    if (const Error error = takeDocumentFont(text); error.failed())
        return reportFailure(error);
    const auto [first, last] = pageRange();
    const PrintedText what = whatToPrint(text);
    if (Option1[1]->isChecked() && last < 1)
        return reportNoPages(CPrintWrap(ThePrinter()).LayOut(what, PageStart(), {}));
    frmPreview preview(this, what, QStringLiteral("Quillory - ") + document->Caption(), first, last);
    if (!preview.hasPages())
        return reportNoPages(preview.knownLastPage());
    if (ShowModal(preview) == frmPreview::PrintChosen)
        cmdPrint_Click();
}

void frmPrintDlg::cmdCancel_Click()
{
    reject();
}
