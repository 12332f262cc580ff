#pragma once

#include "platform/printsurface.h"
#include "platform/screen.h"

#include <QList>
#include <QString>

#include <functional>

// A print surface with exact metrics that keeps what is printed where:
// every character is charWidth twips wide ("0" zeroWidth), every line
// lineHeight high.
class RecordingSurface : public PrintSurface
{
public:
    // What was printed where, and the mouse pointer meanwhile.
    struct Printed
    {
        qint64 page;
        double x, y;
        QString text;
        int pointer;
    };

    double width = 12240, height = 15840;
    double charWidth = 100, zeroWidth = 100, lineHeight = 200;

    QList<Printed> printed;
    int newPages = 0, jobsEnded = 0, jobsAborted = 0;
    // Asked before every Print, EndLine, NewPage and EndDoc with its name and
    // text; true makes that operation fail without effect.
    std::function<bool(const QString &operation, const QString &text)> fails;

    double CurrentX() const override { return m_x; }
    void setCurrentX(double x) override { m_x = x; }
    double CurrentY() const override { return m_y; }
    void setCurrentY(double y) override { m_y = y; }
    double ScaleWidth() const override { return width; }
    double ScaleHeight() const override { return height; }
    double TextWidth(const QString &text) const override
    {
        double w = 0;
        for (const QChar c : text)
            w += c == u'0' ? zeroWidth : charWidth;
        return w;
    }
    double TextHeight(const QString &) const override { return lineHeight; }
    qint64 Page() const override { return m_page; }

    Error Print(const QString &text) override
    {
        return step(QStringLiteral("Print"), text, [&] {
            printed.append({m_page, m_x, m_y, text, Screen::mousePointer()});
            m_x += TextWidth(text);
        });
    }
    Error EndLine() override { return step(QStringLiteral("EndLine"), {}, [&] { m_x = 0; m_y += lineHeight; }); }
    Error NewPage() override { return step(QStringLiteral("NewPage"), {}, [&] { ++m_page; ++newPages; m_x = m_y = 0; }); }
    Error EndDoc() override { return step(QStringLiteral("EndDoc"), {}, [&] { ++jobsEnded; m_page = 1; }); }
    void AbortDoc() override { ++jobsAborted; m_page = 1; }

private:
    Error step(const QString &operation, const QString &text, const std::function<void()> &effect)
    {
        if (fails && fails(operation, text))
            return Error::make(ErrorNumber::DeviceIOError, QStringLiteral("the printer went away"));
        effect();
        return Error::none();
    }

    double m_x = 0, m_y = 0;
    qint64 m_page = 1;
};
