#include "platform/screen.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

const QString fixedsys = QStringLiteral("Fixedsys");

struct ScreenState
{
    int pointer = MousePointer::Default;
    QStringList fonts;
    bool fontsRead = false;
    bool platformHasFixedsys = false;
};

ScreenState &state()
{
    static ScreenState s;
    return s;
}

int twipsPerPixel(qreal dotsPerInch)
{
    return dotsPerInch > 0 ? qMax(1, qRound(1440.0 / dotsPerInch)) : 15;
}

const QStringList &fontList()
{
    ScreenState &s = state();
    if (!s.fontsRead) {
        s.fonts = QFontDatabase::families();
        s.platformHasFixedsys = s.fonts.contains(fixedsys, Qt::CaseInsensitive);
        if (!s.platformHasFixedsys)
            s.fonts.append(fixedsys);
        s.fonts.removeDuplicates();
        std::sort(s.fonts.begin(), s.fonts.end(),
                  [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        s.fontsRead = true;
    }
    return s.fonts;
}

} // namespace

int Screen::twipsPerPixelX()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return twipsPerPixel(screen ? screen->logicalDotsPerInchX() : 96);
}

int Screen::twipsPerPixelY()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return twipsPerPixel(screen ? screen->logicalDotsPerInchY() : 96);
}

int Screen::pixelsX(int twips)
{
    return qRound(double(twips) / twipsPerPixelX());
}

int Screen::pixelsY(int twips)
{
    return qRound(double(twips) / twipsPerPixelY());
}

int Screen::width()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() * twipsPerPixelX() : 0;
}

int Screen::height()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() * twipsPerPixelY() : 0;
}

int Screen::mousePointer()
{
    return state().pointer;
}

void Screen::setMousePointer(int pointer)
{
    ScreenState &s = state();
    if (pointer == MousePointer::Hourglass && s.pointer != MousePointer::Hourglass) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        s.pointer = pointer;
    } else if (pointer == MousePointer::Default) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        s.pointer = pointer;
    }
}

int Screen::fontCount()
{
    return int(fontList().size());
}

QString Screen::fonts(int index)
{
    const QStringList &list = fontList();
    return index >= 0 && index < list.size() ? list.at(index) : QString();
}

QString Screen::fontFamily(const QString &name)
{
    fontList();
    if (!state().platformHasFixedsys && name.compare(fixedsys, Qt::CaseInsensitive) == 0)
        return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    return name;
}

QWidget *Screen::activeControl()
{
    return QApplication::focusWidget();
}

void Screen::resetState()
{
    setMousePointer(MousePointer::Default);
    state() = ScreenState();
}
