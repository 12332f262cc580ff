#pragma once

#include "platform/error.h"

#include <QHash>
#include <QString>

#include <algorithm>
#include <functional>

class PrintSurface;

// Where a page of a printout begins: its number and the place in the text
// printing goes on from. Page 1 begins at the start of the text.
struct PageStart
{
    qint64 page = 1;
    qsizetype position = 0;
    // The page goes on with the next piece of a word too wide for a line.
    bool inLongWord = false;
};

// The text a printout reads: a string, or one read a stretch at a time from
// a reader, so that a document kept in its file is never copied whole.
class PrintedText
{
public:
    PrintedText(const QString &text) : m_size(text.size()), m_window(text) {}
    // size characters, read as reader gives them, about windowChars at a time.
    PrintedText(qsizetype size, std::function<QString(qsizetype from, qsizetype count)> reader,
                qsizetype windowChars = qsizetype(1) << 20);

    qsizetype size() const { return m_size; }
    QChar at(qsizetype i) const
    {
        // Going back, the window ends at i.
        if (i < m_windowStart)
            load(std::max<qsizetype>(0, i + 1 - m_windowChars));
        else if (i - m_windowStart >= m_window.size())
            load(i);
        return m_window.at(i - m_windowStart);
    }
    QString mid(qsizetype from, qsizetype count) const;

private:
    // Reads the window that begins at from.
    void load(qsizetype from) const;

    qsizetype m_size = 0;
    std::function<QString(qsizetype, qsizetype)> m_reader;
    qsizetype m_windowChars = 0;
    mutable QString m_window;
    mutable qsizetype m_windowStart = 0;
};

// Prints one plain text as one print job: words wrap at the right margin,
// words wider than a line are broken, line feeds and tabs are honoured, and
// every page gets a centred header and a footer with the date and its
// number. All lengths are twips on the surface's printable area, in the
// surface's current font.
class CPrintWrap
{
public:
    explicit CPrintWrap(PrintSurface &printer);

    QString HeaderText() const { return m_HeaderText; }
    void setHeaderText(const QString &sText) { m_HeaderText = sText; }
    // Margins are taken as given, neither checked nor clamped.
    float MarginLeft() const { return m_MarginLeft; }
    void setMarginLeft(float nMargin) { m_MarginLeft = nMargin; }
    float MarginTop() const { return m_MarginTop; }
    void setMarginTop(float nMargin) { m_MarginTop = nMargin; }
    float MarginRight() const { return m_MarginRight; }
    void setMarginRight(float nMargin) { m_MarginRight = nMargin; }
    float MarginBottom() const { return m_MarginBottom; }
    void setMarginBottom(float nMargin) { m_MarginBottom = nMargin; }

    // Only pages first..last of the printout are printed (last 0: to the
    // end), numbered as in the whole of it. The pages before are laid out
    // exactly as they would print, without drawing them.
    qint64 FirstPage() const { return m_FirstPage; }
    qint64 LastPage() const { return m_LastPage; }
    void setPageRange(qint64 first, qint64 last);

    // Prints the text as one job, with the hourglass showing meanwhile. Page
    // numbers start at 1 on every call. When a printer operation fails the
    // job is given up there and its error returned.
    Error PrintText(const PrintedText &text);
    // How many pages the last PrintText printed: none when the range lies
    // past the printout's last page.
    qint64 PagesPrinted() const { return m_pagesPrinted; }

    // Prints pages start.page..last (0: to the end) of the text's printout
    // as one job, going on from where a layout found that page to begin.
    Error PrintPages(const PrintedText &text, const PageStart &start, qint64 last);
    // Lays the text out from start on without printing anything, and tells
    // pageBegun where each following page begins; stops at the end of the
    // text or when pageBegun returns false. Returns the last page's number.
    qint64 LayOut(const PrintedText &text, const PageStart &start,
                  const std::function<bool(const PageStart &)> &pageBegun);

private:
    Error printJob(const PrintedText &text, const PageStart &start);
    Error printWord(const QString &word, qsizetype at);
    Error breakLongWord(const QString &word, qsizetype at);
    Error endLine();
    Error lineEndCheck();
    void moveToNextTabStop();
    Error StartPage(bool bNewPage);

    float rightLimit() const;
    float bottomLimit() const;
    double unitWidth(const QString &word, qsizetype at, qsizetype length);

    PrintSurface &m_printer;
    // What the job goes to: the printer, or a surface that only lays out.
    PrintSurface *m_out = nullptr;
    QString m_HeaderText = QStringLiteral("Quillory 98");
    float m_MarginLeft = 720;
    float m_MarginTop = 1440;
    float m_MarginRight = 720;
    float m_MarginBottom = 1440;
    qint64 m_FirstPage = 1;
    qint64 m_LastPage = 0;

    qint64 m_page = 1;
    qint64 m_lastWanted = 0;
    qint64 m_pagesPrinted = 0;
    std::function<bool(const PageStart &)> m_pageBegun;
    // Where the next page would go on from, were the line ending now to end
    // the page.
    PageStart m_resume;

    // Whether a word has been printed on the current body line.
    bool m_lineHoldsText = false;
    // The widths of the units long words are broken into, for this job's
    // font: a piece is measured as the sum of its units.
    QHash<quint32, double> m_unitWidths;
};
