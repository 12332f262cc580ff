#pragma once

#include "platform/error.h"

#include <QHash>
#include <QString>

class PrintSurface;

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

    // Prints the text as one job, with the hourglass showing meanwhile. Page
    // numbers start at 1 on every call. When a printer operation fails the
    // job is given up there and its error returned.
    Error PrintText(const QString &text);

private:
    Error printJob(const QString &text);
    Error printWord(const QString &word);
    Error breakLongWord(const QString &word);
    Error endLine();
    Error lineEndCheck();
    void moveToNextTabStop();
    Error StartPage(bool bNewPage);

    float rightLimit() const;
    float bottomLimit() const;
    double unitWidth(const QString &word, qsizetype at, qsizetype length);

    PrintSurface &m_printer;
    QString m_HeaderText = QStringLiteral("Quillory 98");
    float m_MarginLeft = 720;
    float m_MarginTop = 1440;
    float m_MarginRight = 720;
    float m_MarginBottom = 1440;

    // Whether a word has been printed on the current body line.
    bool m_lineHoldsText = false;
    // The widths of the units long words are broken into, for this job's
    // font: a piece is measured as the sum of its units.
    QHash<quint32, double> m_unitWidths;
};
