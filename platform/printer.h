#pragma once

#include "platform/printsurface.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPrinter>
#include <QString>

#include <optional>

// The program's printer: the system's default printer, or, on a system
// without any, a PDF file ("Print to File (PDF)"). Print jobs are drawn with
// one QPainter that opens with the first output of a job, so a job in which
// nothing is printed produces nothing.
class Printer : public PrintSurface
{
public:
    static QString pdfDeviceName() { return QStringLiteral("Print to File (PDF)"); }

    Printer();
    ~Printer() override;
    Printer(const Printer &) = delete;
    Printer &operator=(const Printer &) = delete;

    double CurrentX() const override { return m_x; }
    void setCurrentX(double x) override { m_x = x; }
    double CurrentY() const override { return m_y; }
    void setCurrentY(double y) override { m_y = y; }
    double ScaleWidth() const override;
    double ScaleHeight() const override;
    // The paper, and where on it the printable area lies, in twips.
    QSizeF PaperSize() const;
    QPointF PrintableOrigin() const;
    double TextWidth(const QString &text) const override;
    // One line height of the font per line of the text.
    double TextHeight(const QString &text) const override;

    Error Print(const QString &text) override;
    Error EndLine() override;
    Error NewPage() override;
    Error EndDoc() override;
    void AbortDoc() override;
    qint64 Page() const override { return m_page; }

    // Writing true makes the printer the system's current default printer,
    // unless a printer or file was chosen (setPrinterName, setOutputFile, or
    // Print Setup on qprinter()); with no printer on the system it prints to
    // a PDF file. Reading tells whether it was last set so.
    bool TrackDefault() const { return m_trackDefault; }
    Error setTrackDefault(bool track);

    // 1 single-sided, 2 double-sided turning on the short side (horizontal
    // page turn), 3 double-sided turning on the long side (vertical). A
    // printer that cannot print double-sided, a PDF file among them, rejects
    // 2 and 3 with InvalidPropertyValue and keeps its mode.
    int Duplex() const;
    Error setDuplex(int mode);

    // The printer's name, or pdfDeviceName() when printing to a file.
    QString DeviceName() const;
    // Where the printer is, or the full path of the PDF file the next job
    // writes. A file the user chose takes the first job since the printer was
    // last set (setTrackDefault, setOutputFile, Print Setup); every other job
    // takes the first of "name.pdf", "name (2).pdf", ... that nothing has
    // taken, so that no file already there is replaced.
    QString Port() const;

    QFont Font() const { return m_font; }
    Error setFont(const QFont &font);

    // The printed document: a PDF file takes its file name with ".pdf" added
    // ("notes.txt" becomes "notes.txt.pdf", "Untitled3" "Untitled3.pdf"),
    // in the user's documents folder, or the home folder without one.
    void setDocumentName(const QString &pathOrCaption);
    // Print to this PDF file, chosen by the user, instead of a printer.
    Error setOutputFile(const QString &path);
    // Print on this printer of the system.
    Error setPrinterName(const QString &name);

    // The printer underneath, for the system's Print Setup dialog. Choices
    // made there are taken up by the next setTrackDefault(true) or job.
    QPrinter &qprinter() { return m_printer; }

private:
    enum class Output { System, ChosenPrinter, ChosenFile };

    void takeUpSetupChoice();
    void applyDefault();
    void applyPdfFile(const QString &path);
    void restartJobFiles();
    QString defaultPdfPath() const;
    QString numberedFile(int n) const;
    bool mayReplace() const;
    QString nextJobFile() const;
    void proposeJobFile();
    double twipsPerUnitX() const;
    double twipsPerUnitY() const;
    const QFontMetricsF &metrics() const;
    Error beginJob();
    void flush();
    void finishJob();
    QString printerLabel() const;

    QPrinter m_printer{QPrinter::HighResolution};
    QPainter m_painter;
    QFont m_font;
    mutable std::optional<QFontMetricsF> m_metrics;
    mutable int m_metricsResolution = 0;
    mutable QHash<QString, double> m_widths;

    double m_x = 0;
    double m_y = 0;
    qint64 m_page = 1;
    // Pages ended before anything of the job was drawn.
    qint64 m_pagesBeforeOutput = 0;

    // Text printed at consecutive positions of one line, drawn in one go.
    QString m_run;
    double m_runX = 0;
    double m_runY = 0;
    double m_runEndX = 0;

    bool m_trackDefault = false;
    Output m_output = Output::System;
    QString m_documentName;
    // The PDF file printed to, chosen or the document's own; the names of
    // later jobs are numbered from it.
    QString m_pdfFile;
    // What was last put into the QPrinter, to notice what Print Setup changed.
    QString m_appliedPrinterName;
    QString m_appliedFile;
    QPrinter::OutputFormat m_appliedFormat = QPrinter::NativeFormat;
    // Jobs written since the PDF file was chosen or the printer set again.
    int m_jobsWritten = 0;
    QString m_jobPath;
};

// The one printer of the program, made on first use and gone with the
// application object.
Printer &ThePrinter();
// Lets the printer go, with any job under way; the next ThePrinter() is a new
// one that follows the system's default again.
void resetThePrinter();
