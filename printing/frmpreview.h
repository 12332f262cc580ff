#pragma once

#include "platform/previewsurface.h"
#include "printing/cprintwrap.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QTimer;
class QToolButton;
class PreviewPages;

// The preview of a printout: the pages the print engine prints on the
// program's printer, drawn as on paper, one or two at a time. The pages in
// sight are drawn first; the page count fills in meanwhile.
class frmPreview : public QDialog
{
    Q_OBJECT

public:
    // What ShowModal gives when the user chose to print what is shown.
    static constexpr int PrintChosen = 2;

    // The text as printed with the header in the printer's current font,
    // pages first..last of its printout (last 0: to the end).
    frmPreview(QWidget *parent, const PrintedText &text, const QString &header, qint64 first, qint64 last);
    ~frmPreview() override;

    QToolButton *cmdFirst = nullptr;
    QToolButton *cmdPrevious = nullptr;
    QLineEdit *txtPage = nullptr;
    QLabel *lblPages = nullptr;
    QToolButton *cmdNext = nullptr;
    QToolButton *cmdLast = nullptr;
    QToolButton *cmdZoomOut = nullptr;
    QComboBox *cboZoom = nullptr;
    QToolButton *cmdZoomIn = nullptr;
    QToolButton *cmdOnePage = nullptr;
    QToolButton *cmdTwoPages = nullptr;
    QToolButton *cmdPrint = nullptr;
    QToolButton *cmdClose = nullptr;
    QScrollArea *scrPages = nullptr;

    // Whether the range holds any page of the printout.
    bool hasPages() const { return m_firstShown <= knownLastPage(); }
    // The page on the left, the last page to show as far as counted, and
    // whether the count is complete.
    qint64 currentPage() const { return m_current; }
    qint64 knownLastPage() const;
    bool counted() const { return m_counted; }
    // Pages shown side by side, and what each prints, in printing order.
    int shownPages() const { return int(m_shown.size()); }
    QStringList shownTexts(int index) const { return m_shown.value(index).texts; }
    QImage shownPaper(int index) const { return m_shown.value(index).paper; }
    // The zoom, as a percentage of the paper's real size on the screen.
    double zoomPercent() const;

    // Shows the page (with the next beside it in two-page view), within the
    // pages the preview holds.
    void showPage(qint64 page);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void count(qint64 page, bool background);
    void countTo(qint64 page);
    void countAll();
    void drawShown();
    void showCount();
    void zoomBy(int steps);
    void cboZoom_Activated(int index);
    void cmdPrint_Click();
    double dotsPerInch() const;
    int sideBySide() const;
    PageStart startOf(qint64 page) const { return m_starts.at(page - 1); }

    PrintedText m_text;
    QString m_header;
    qint64 m_firstShown;
    qint64 m_last;
    // Where each page counted so far begins, page 1 first.
    QList<PageStart> m_starts;
    bool m_counted = false;
    QTimer *m_counter = nullptr;
    qint64 m_current = 1;
    QList<PreviewSurface::Sheet> m_shown;
    // Fit Page, Fit Width, or a percentage.
    enum class Fit { Page, Width, None } m_fit = Fit::Page;
    int m_percent = 100;
    PreviewPages *m_view = nullptr;
    // The width the button row needs with its captions.
    int m_buttonsWithText = 0;
};
