#include "shell/frmbackground.h"

#include "platform/screen.h"
#include "shell/artwork.h"

#include <QPainter>

frmBackground::frmBackground(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Dadod Iror"));
    setFixedSize(splashPicture().deviceIndependentSize().toSize());
}

int frmBackground::Width() const
{
    return width() * Screen::twipsPerPixelX();
}

int frmBackground::Height() const
{
    return height() * Screen::twipsPerPixelY();
}

void frmBackground::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), backgroundPicture(devicePixelRatioF()));
}
