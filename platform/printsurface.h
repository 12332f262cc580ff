#pragma once

#include "platform/error.h"

#include <QString>

// What the print engine prints on: pages of a print job, measured in twips
// from the top-left corner of the printable area, in the surface's current
// font. The printer is one such surface; tests use one that records.
class PrintSurface
{
public:
    virtual ~PrintSurface() = default;

    virtual double CurrentX() const = 0;
    virtual void setCurrentX(double x) = 0;
    virtual double CurrentY() const = 0;
    virtual void setCurrentY(double y) = 0;
    // The printable area.
    virtual double ScaleWidth() const = 0;
    virtual double ScaleHeight() const = 0;
    virtual double TextWidth(const QString &text) const = 0;
    // An empty text is one line high: what EndLine moves down.
    virtual double TextHeight(const QString &text) const = 0;

    // Prints text at the current position and stays on the line: CurrentX
    // grows by its width.
    virtual Error Print(const QString &text) = 0;
    // Ends the line: CurrentX becomes 0 and CurrentY moves down one line
    // height of the font.
    virtual Error EndLine() = 0;
    // Ends the page; what follows goes on a new one.
    virtual Error NewPage() = 0;
    // Ends the job and releases it; what follows starts a new job at page 1.
    // A job in which nothing was printed produces nothing.
    virtual Error EndDoc() = 0;
    // Gives up the job after a failure, so that nothing half done is left
    // waiting; what follows starts a new job.
    virtual void AbortDoc() = 0;
    // The current page of the job, 1 for the first.
    virtual qint64 Page() const = 0;
};
