#pragma once

#include "platform/printsurface.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QList>
#include <QStringList>

class Printer;

// A print surface for the screen: pages are laid out exactly as on the
// printer, measured by it, and each is drawn on a picture of the paper at
// the resolution asked for.
class PreviewSurface : public PrintSurface
{
public:
    struct Sheet
    {
        QImage paper;
        // What was printed on it, in printing order; text printed where the
        // last ended continues it.
        QStringList texts;
    };

    PreviewSurface(const Printer &printer, double dotsPerInch);

    QList<Sheet> sheets() const { return m_sheets; }

    double CurrentX() const override { return m_x; }
    void setCurrentX(double x) override { m_x = x; }
    double CurrentY() const override { return m_y; }
    void setCurrentY(double y) override { m_y = y; }
    double ScaleWidth() const override;
    double ScaleHeight() const override;
    double TextWidth(const QString &text) const override;
    double TextHeight(const QString &text) const override;

    Error Print(const QString &text) override;
    Error EndLine() override;
    Error NewPage() override;
    Error EndDoc() override;
    void AbortDoc() override;
    qint64 Page() const override { return m_page; }

private:
    Sheet &currentSheet();

    const Printer &m_printer;
    double m_dotsPerInch;
    QFont m_font;
    double m_ascent = 0;
    QList<Sheet> m_sheets;
    bool m_pageBegun = false;
    double m_x = 0;
    double m_y = 0;
    double m_lastEndX = -1;
    double m_lastY = -1;
    qint64 m_page = 1;
};
