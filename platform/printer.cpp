#include "platform/printer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <memory>

namespace {

QString quoted(const QString &text) { return QLatin1Char('\'') + text + QLatin1Char('\''); }

// Whether a file, folder or link, even a broken one, has the name.
bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

Printer::Printer()
{
    m_printer.setFullPage(false);
    applyDefault();
}

Printer::~Printer()
{
    AbortDoc();
}

// --- Which printer ---------------------------------------------------------

// Print Setup works on the QPrinter itself: a printer or file it holds that
// this class did not put there is the user's choice.
void Printer::takeUpSetupChoice()
{
    if (m_painter.isActive())
        return;
    if (m_printer.outputFormat() == QPrinter::PdfFormat) {
        const QString file = m_printer.outputFileName();
        if (m_appliedFormat != QPrinter::PdfFormat || file != m_appliedFile) {
            m_output = Output::ChosenFile;
            applyPdfFile(QFileInfo(file).absoluteFilePath());
        }
    } else if (m_appliedFormat != QPrinter::NativeFormat || m_printer.printerName() != m_appliedPrinterName) {
        m_output = Output::ChosenPrinter;
        m_appliedFormat = QPrinter::NativeFormat;
        m_appliedPrinterName = m_printer.printerName();
        m_appliedFile.clear();
        restartJobFiles();
    }
}

void Printer::applyDefault()
{
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
        if (!all.isEmpty())
            info = all.first();
    }
    if (info.isNull()) {
        applyPdfFile(defaultPdfPath());
        return;
    }
    m_printer.setOutputFileName(QString());
    m_printer.setPrinterName(info.printerName());
    m_printer.setOutputFormat(QPrinter::NativeFormat);
    m_appliedFormat = m_printer.outputFormat();
    m_appliedPrinterName = m_printer.printerName();
    m_appliedFile.clear();
    restartJobFiles();
}

void Printer::applyPdfFile(const QString &path)
{
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    // A PDF file is single-sided.
    m_printer.setDuplex(QPrinter::DuplexNone);
    m_appliedFormat = QPrinter::PdfFormat;
    m_appliedPrinterName = m_printer.printerName();
    m_pdfFile = path;
    restartJobFiles();
}

void Printer::restartJobFiles()
{
    m_jobsWritten = 0;
    if (m_appliedFormat == QPrinter::PdfFormat && !m_painter.isActive())
        proposeJobFile();
}

QString Printer::defaultPdfPath() const
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString name = m_documentName.isEmpty() ? QStringLiteral("Quillory") : m_documentName;
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

// The file itself for 1, "name (n).pdf" after it.
QString Printer::numberedFile(int n) const
{
    if (n <= 1)
        return m_pdfFile;
    const QString number = QStringLiteral(" (%1)").arg(n);
    const QString suffix = QStringLiteral(".pdf");
    if (m_pdfFile.endsWith(suffix, Qt::CaseInsensitive))
        return m_pdfFile.left(m_pdfFile.size() - suffix.size()) + number + m_pdfFile.right(suffix.size());
    return m_pdfFile + number;
}

// The user chose the file to be written: the first job may replace it.
bool Printer::mayReplace() const
{
    return m_output == Output::ChosenFile && m_jobsWritten == 0;
}

QString Printer::nextJobFile() const
{
    if (mayReplace())
        return m_pdfFile;
    int n = m_output == Output::ChosenFile ? 2 : 1;
    while (taken(numberedFile(n)))
        ++n;
    return numberedFile(n);
}

// Print Setup shows the file the next job would write.
void Printer::proposeJobFile()
{
    m_appliedFile = nextJobFile();
    m_printer.setOutputFileName(m_appliedFile);
}

Error Printer::setTrackDefault(bool track)
{
    m_trackDefault = track;
    if (!track || m_painter.isActive())
        return Error::none();
    takeUpSetupChoice();
    if (m_output == Output::System)
        applyDefault();
    restartJobFiles();
    return Error::none();
}

void Printer::setDocumentName(const QString &pathOrCaption)
{
    m_documentName = QFileInfo(pathOrCaption).fileName();
    m_printer.setDocName(m_documentName);
    takeUpSetupChoice();
    if (m_output == Output::System && m_appliedFormat == QPrinter::PdfFormat && !m_painter.isActive())
        applyPdfFile(defaultPdfPath());
}

Error Printer::setOutputFile(const QString &path)
{
    if (path.isEmpty())
        return Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("no file name given for the PDF file"));
    if (m_painter.isActive())
        return Error::make(ErrorNumber::InvalidProcedureCall, QStringLiteral("a print job is under way"));
    m_output = Output::ChosenFile;
    applyPdfFile(QFileInfo(path).absoluteFilePath());
    return Error::none();
}

Error Printer::setPrinterName(const QString &name)
{
    if (m_painter.isActive())
        return Error::make(ErrorNumber::InvalidProcedureCall, QStringLiteral("a print job is under way"));
    if (QPrinterInfo::printerInfo(name).isNull())
        return Error::make(ErrorNumber::DeviceUnavailable, QStringLiteral("there is no printer named ") + quoted(name));
    m_printer.setOutputFileName(QString());
    m_printer.setPrinterName(name);
    m_printer.setOutputFormat(QPrinter::NativeFormat);
    m_output = Output::ChosenPrinter;
    m_appliedFormat = m_printer.outputFormat();
    m_appliedPrinterName = m_printer.printerName();
    m_appliedFile.clear();
    restartJobFiles();
    return Error::none();
}

QString Printer::DeviceName() const
{
    if (m_printer.outputFormat() == QPrinter::PdfFormat)
        return pdfDeviceName();
    return m_printer.printerName();
}

QString Printer::Port() const
{
    if (m_printer.outputFormat() == QPrinter::PdfFormat) {
        // Print Setup may have put another file there since.
        if (m_appliedFormat != QPrinter::PdfFormat || m_printer.outputFileName() != m_appliedFile)
            return QFileInfo(m_printer.outputFileName()).absoluteFilePath();
        return nextJobFile();
    }
    const QPrinterInfo info = QPrinterInfo::printerInfo(m_printer.printerName());
    return info.location();
}

QString Printer::printerLabel() const
{
    if (m_printer.outputFormat() == QPrinter::PdfFormat)
        return QStringLiteral("the PDF file ") + quoted(m_jobPath.isEmpty() ? Port() : m_jobPath);
    return QStringLiteral("the printer ") + quoted(m_printer.printerName());
}

// --- Duplex and font -------------------------------------------------------

int Printer::Duplex() const
{
    switch (m_printer.duplex()) {
    case QPrinter::DuplexShortSide: return 2;
    case QPrinter::DuplexLongSide: return 3;
    default: return 1;
    }
}

Error Printer::setDuplex(int mode)
{
    if (mode < 1 || mode > 3)
        return Error::make(ErrorNumber::InvalidPropertyValue,
                           QStringLiteral("duplex mode %1 is not 1, 2 or 3").arg(mode));
    if (mode == 1) {
        m_printer.setDuplex(QPrinter::DuplexNone);
        return Error::none();
    }
    takeUpSetupChoice();
    const QPrinter::DuplexMode wanted = mode == 2 ? QPrinter::DuplexShortSide : QPrinter::DuplexLongSide;
    bool supported = false;
    if (m_printer.outputFormat() == QPrinter::NativeFormat) {
        const QList<QPrinter::DuplexMode> modes =
            QPrinterInfo::printerInfo(m_printer.printerName()).supportedDuplexModes();
        supported = modes.contains(wanted);
    }
    if (!supported)
        return Error::make(ErrorNumber::InvalidPropertyValue,
                           printerLabel() + QStringLiteral(" cannot print double-sided"));
    m_printer.setDuplex(wanted);
    return Error::none();
}

Error Printer::setFont(const QFont &font)
{
    flush();
    m_font = font;
    m_metrics.reset();
    if (m_painter.isActive()) {
        QFont drawn = m_font;
        drawn.setKerning(false);
        m_painter.setFont(drawn);
    }
    return Error::none();
}

// --- Measuring -------------------------------------------------------------

double Printer::twipsPerUnitX() const { return 1440.0 / m_printer.logicalDpiX(); }
double Printer::twipsPerUnitY() const { return 1440.0 / m_printer.logicalDpiY(); }

// Text is measured as it is drawn: on the printer, without kerning, so that
// words measured one by one add up to the width of the line that holds them.
const QFontMetricsF &Printer::metrics() const
{
    const int resolution = m_printer.logicalDpiY();
    if (!m_metrics || m_metricsResolution != resolution) {
        QFont measured = m_font;
        measured.setKerning(false);
        m_metrics.emplace(measured, &m_printer);
        m_widths.clear();
        m_metricsResolution = resolution;
    }
    return *m_metrics;
}

double Printer::ScaleWidth() const { return m_printer.pageRect(QPrinter::Point).width() * 20.0; }
double Printer::ScaleHeight() const { return m_printer.pageRect(QPrinter::Point).height() * 20.0; }
QSizeF Printer::PaperSize() const { return m_printer.paperRect(QPrinter::Point).size() * 20.0; }
QPointF Printer::PrintableOrigin() const { return m_printer.pageRect(QPrinter::Point).topLeft() * 20.0; }

// Prose repeats its words, and each is measured more than once on its way to
// the page; shaping is most of the cost of a job, so the widths of short texts
// are kept for the font.
double Printer::TextWidth(const QString &text) const
{
    constexpr qsizetype longestKept = 48;
    constexpr qsizetype mostKept = 65536;
    const QFontMetricsF &measure = metrics();
    if (text.size() > longestKept)
        return measure.horizontalAdvance(text) * twipsPerUnitX();
    const auto known = m_widths.constFind(text);
    if (known != m_widths.constEnd())
        return *known;
    if (m_widths.size() >= mostKept)
        m_widths.clear();
    const double width = measure.horizontalAdvance(text) * twipsPerUnitX();
    m_widths.insert(text, width);
    return width;
}

double Printer::TextHeight(const QString &text) const
{
    const qsizetype lines = text.count(QLatin1Char('\n')) + 1;
    return metrics().lineSpacing() * twipsPerUnitY() * double(lines);
}

// --- Printing --------------------------------------------------------------

Error Printer::beginJob()
{
    takeUpSetupChoice();
    const bool toFile = m_printer.outputFormat() == QPrinter::PdfFormat;
    bool reserved = false;
    if (toFile) {
        // Creating the file takes the name, so that a file another program
        // put there meanwhile is not replaced but moves the job on.
        m_jobPath = nextJobFile();
        while (!mayReplace()) {
            QFile file(m_jobPath);
            reserved = file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
            if (reserved || !taken(m_jobPath))
                break;
            m_jobPath = nextJobFile();
        }
        m_printer.setOutputFileName(m_jobPath);
    }
    if (!m_painter.begin(&m_printer)) {
        Error error;
        if (toFile) {
            const QFileInfo file(m_jobPath);
            if (!file.dir().exists())
                error = Error::make(ErrorNumber::PathNotFound, QStringLiteral("cannot write the PDF file ")
                                                                   + quoted(m_jobPath) + QStringLiteral(", its folder does not exist"));
            else
                error = Error::make(ErrorNumber::PathFileAccessError,
                                    QStringLiteral("cannot write the PDF file ") + quoted(m_jobPath));
        } else {
            error = Error::make(ErrorNumber::DeviceUnavailable,
                                QStringLiteral("cannot start a print job on the printer ") + quoted(m_printer.printerName()));
        }
        if (reserved)
            QFile::remove(m_jobPath);
        finishJob();
        return error;
    }
    QFont drawn = m_font;
    drawn.setKerning(false);
    m_painter.setFont(drawn);
    for (; m_pagesBeforeOutput > 0; --m_pagesBeforeOutput) {
        if (!m_printer.newPage())
            return Error::make(ErrorNumber::DeviceIOError, QStringLiteral("cannot start a new page on ") + printerLabel());
    }
    return Error::none();
}

// Draws the text gathered on the line. CurrentY is the top of the line;
// QPainter draws on the baseline.
void Printer::flush()
{
    if (m_run.isEmpty())
        return;
    if (m_painter.isActive()) {
        const double unitsX = 1.0 / twipsPerUnitX();
        const double unitsY = 1.0 / twipsPerUnitY();
        m_painter.drawText(QPointF(m_runX * unitsX, m_runY * unitsY + metrics().ascent()), m_run);
    }
    m_run.clear();
}

Error Printer::Print(const QString &text)
{
    if (text.isEmpty())
        return Error::none();
    if (!m_painter.isActive()) {
        const Error error = beginJob();
        if (error.failed())
            return error;
    }
    const double width = TextWidth(text);
    if (m_run.isEmpty() || m_x != m_runEndX || m_y != m_runY) {
        flush();
        m_runX = m_x;
        m_runY = m_y;
    }
    m_run += text;
    m_x += width;
    m_runEndX = m_x;
    return Error::none();
}

Error Printer::EndLine()
{
    m_x = 0;
    m_y += TextHeight(QString());
    return Error::none();
}

Error Printer::NewPage()
{
    flush();
    if (m_painter.isActive()) {
        if (!m_printer.newPage())
            return Error::make(ErrorNumber::DeviceIOError, QStringLiteral("cannot start a new page on ") + printerLabel());
    } else {
        ++m_pagesBeforeOutput;
    }
    ++m_page;
    m_x = 0;
    m_y = 0;
    return Error::none();
}

Error Printer::EndDoc()
{
    flush();
    Error error;
    if (m_painter.isActive()) {
        const QString label = printerLabel();
        const bool toFile = m_printer.outputFormat() == QPrinter::PdfFormat;
        if (!m_painter.end()) {
            error = Error::make(ErrorNumber::DeviceIOError, QStringLiteral("cannot finish the print job on ") + label);
            if (toFile)
                QFile::remove(m_jobPath);
        } else if (toFile) {
            ++m_jobsWritten;
        }
    }
    finishJob();
    return error;
}

void Printer::AbortDoc()
{
    m_run.clear();
    if (m_painter.isActive()) {
        if (m_printer.outputFormat() == QPrinter::PdfFormat) {
            m_painter.end();
            QFile::remove(m_jobPath);
        } else {
            // Where the system cannot take back a job, ending it is all that
            // is left.
            m_printer.abort();
            m_painter.end();
        }
    }
    finishJob();
}

void Printer::finishJob()
{
    m_run.clear();
    if (!m_jobPath.isEmpty()) {
        m_jobPath.clear();
        proposeJobFile();
    }
    m_page = 1;
    m_pagesBeforeOutput = 0;
    m_x = 0;
    m_y = 0;
}

namespace {
std::unique_ptr<Printer> &thePrinterSlot()
{
    static std::unique_ptr<Printer> printer;
    return printer;
}
} // namespace

Printer &ThePrinter()
{
    std::unique_ptr<Printer> &printer = thePrinterSlot();
    if (!printer) {
        printer = std::make_unique<Printer>();
        // The QPrinter must go while the application object still exists.
        static const bool cleanupAdded = (qAddPostRoutine(resetThePrinter), true);
        Q_UNUSED(cleanupAdded);
    }
    return *printer;
}

void resetThePrinter()
{
    thePrinterSlot().reset();
}
