#include "platform/previewsurface.h"

#include "platform/printer.h"

#include <QFontInfo>
#include <QPainter>

PreviewSurface::PreviewSurface(const Printer &printer, double dotsPerInch)
    : m_printer(printer), m_dotsPerInch(dotsPerInch)
{
    // The font as the printer draws it, its size in points taken to this
    // resolution; without hinting, widths scale as they do on paper.
    m_font = printer.Font();
    m_font.setKerning(false);
    m_font.setHintingPreference(QFont::PreferNoHinting);
    const double points = m_font.pointSizeF() > 0 ? m_font.pointSizeF() : QFontInfo(m_font).pointSizeF();
    QImage probe(1, 1, QImage::Format_RGB32);
    m_font.setPointSizeF(points * dotsPerInch / probe.logicalDpiY());
    m_ascent = QFontMetricsF(m_font, &probe).ascent();
}

double PreviewSurface::ScaleWidth() const { return m_printer.ScaleWidth(); }
double PreviewSurface::ScaleHeight() const { return m_printer.ScaleHeight(); }
double PreviewSurface::TextWidth(const QString &text) const { return m_printer.TextWidth(text); }
double PreviewSurface::TextHeight(const QString &text) const { return m_printer.TextHeight(text); }

PreviewSurface::Sheet &PreviewSurface::currentSheet()
{
    if (!m_pageBegun) {
        const QSizeF paper = m_printer.PaperSize() * (m_dotsPerInch / 1440.0);
        QImage image(qMax(1, qRound(paper.width())), qMax(1, qRound(paper.height())), QImage::Format_RGB32);
        image.fill(Qt::white);
        m_sheets.append({image, QStringList()});
        m_pageBegun = true;
        m_lastEndX = m_lastY = -1;
    }
    return m_sheets.last();
}

Error PreviewSurface::Print(const QString &text)
{
    if (text.isEmpty())
        return Error::none();
    Sheet &page = currentSheet();
    const double scale = m_dotsPerInch / 1440.0;
    const QPointF origin = m_printer.PrintableOrigin();
    QPainter painter(&page.paper);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(m_font);
    painter.setPen(Qt::black);
    painter.drawText(QPointF((origin.x() + m_x) * scale, (origin.y() + m_y) * scale + m_ascent), text);
    if (m_x == m_lastEndX && m_y == m_lastY && !page.texts.isEmpty())
        page.texts.last() += text;
    else
        page.texts.append(text);
    m_x += TextWidth(text);
    m_lastEndX = m_x;
    m_lastY = m_y;
    return Error::none();
}

Error PreviewSurface::EndLine()
{
    m_x = 0;
    m_y += TextHeight(QString());
    return Error::none();
}

Error PreviewSurface::NewPage()
{
    (void)currentSheet();
    m_pageBegun = false;
    ++m_page;
    m_x = m_y = 0;
    return Error::none();
}

Error PreviewSurface::EndDoc()
{
    m_pageBegun = false;
    m_page = 1;
    return Error::none();
}

void PreviewSurface::AbortDoc()
{
    (void)EndDoc();
}
