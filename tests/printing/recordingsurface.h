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
    struct Printed
    {
        int job;
        qint64 page;
        double x;
        double y;
        QString text;
        int pointer; // the mouse pointer while it was printed
    };

    double width = 12240;
    double height = 15840;
    double charWidth = 100;
    double zeroWidth = 100;
    double lineHeight = 200;

    QList<Printed> printed;
    int jobsEnded = 0;
    int jobsAborted = 0;
    int newPages = 0;
    // Asked before every Print, EndLine, NewPage and EndDoc with its name and
    // text; an error it returns makes that operation fail without effect.
    std::function<Error(const QString &operation, const QString &text)> failure;

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

    Error Print(const QString &text) override
    {
        if (Error error = check(QStringLiteral("Print"), text); error.failed())
            return error;
        printed.append({m_job, m_page, m_x, m_y, text, Screen::mousePointer()});
        m_x += TextWidth(text);
        return Error::none();
    }
    Error EndLine() override
    {
        if (Error error = check(QStringLiteral("EndLine"), QString()); error.failed())
            return error;
        m_x = 0;
        m_y += lineHeight;
        return Error::none();
    }
    Error NewPage() override
    {
        if (Error error = check(QStringLiteral("NewPage"), QString()); error.failed())
            return error;
        ++m_page;
        ++newPages;
        m_x = m_y = 0;
        return Error::none();
    }
    Error EndDoc() override
    {
        if (Error error = check(QStringLiteral("EndDoc"), QString()); error.failed())
            return error;
        ++jobsEnded;
        nextJob();
        return Error::none();
    }
    void AbortDoc() override
    {
        ++jobsAborted;
        nextJob();
    }
    qint64 Page() const override { return m_page; }

    // What was printed with its top between top and bottom: with the
    // engine's margins, the body without header and footer.
    QList<Printed> between(double top, double bottom) const
    {
        QList<Printed> kept;
        for (const Printed &p : printed)
            if (p.y >= top && p.y <= bottom)
                kept.append(p);
        return kept;
    }

private:
    Error check(const QString &operation, const QString &text)
    {
        return failure ? failure(operation, text) : Error::none();
    }
    void nextJob()
    {
        ++m_job;
        m_page = 1;
        m_x = m_y = 0;
    }

    double m_x = 0;
    double m_y = 0;
    qint64 m_page = 1;
    int m_job = 0;
};
