#include "shell/frmsplash.h"

#include "platform/screen.h"
#include "shell/artwork.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QPainter>

frmSplash::frmSplash()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(splashPicture().deviceIndependentSize().toSize());
    // A coarse timer may fire a little early; the frame must not.
    tmrSplash.setTimerType(Qt::PreciseTimer);
    tmrSplash.setInterval(2500);
    connect(&tmrSplash, &QTimer::timeout, this, &frmSplash::tmrSplash_Timer);
    tmrSplash.start();
}

void frmSplash::Show()
{
    Form_Load();
    show();
}

void frmSplash::Form_Load()
{
    const int tpp = Screen::twipsPerPixelX();
    const int windowHeight = height() * tpp;
    const int windowWidth = width() * tpp;
    const int top = (Screen::height() / 2 - windowHeight / 2) / tpp;
    const int left = (Screen::width() / 2 - windowWidth / 2) / tpp;
    move(left, top);
}

void frmSplash::tmrSplash_Timer()
{
    tmrSplash.stop();
    if (!Quillo::MainForm)
        new frmMainNote;
    Quillo::MainForm->Show();
    close();
    Quillo::ReportInterruptedSaves();
    Quillo::RestoreDrafts();
    Quillo::OpenStartFiles();
}

void frmSplash::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), splashPicture(devicePixelRatioF()));
}
