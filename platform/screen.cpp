#include "platform/screen.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPointer>
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

// The control that had the focus last, the menu bar aside: walking the menus
// with the keys takes the focus to the bar for a while, and the commands
// chosen there act on the control the keys came from.
QPointer<QWidget> &controlBeforeMenus()
{
    static QPointer<QWidget> control;
    static const bool following = [] {
        QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget *, QWidget *now) {
            if (now && !qobject_cast<QMenuBar *>(now))
                control = now;
        });
        return true;
    }();
    (void)following;
    return control;
}

int twipsPerPixel(qreal dotsPerInch)
{
    return dotsPerInch > 0 ? qMax(1, qRound(1440.0 / dotsPerInch)) : 15;
}

const QStringList &fontList()
{
    ScreenState &s = state();
    if (!s.fontsRead) {
        const QStringList families = QFontDatabase::families();
        s.platformHasFixedsys = families.contains(fixedsys, Qt::CaseInsensitive);
        s.fonts = Screen::fontNames(families);
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

QStringList Screen::fontNames(const QStringList &families)
{
    QStringList names;
    for (const QString &family : families) {
        const qsizetype foundry = family.endsWith(u']') ? family.lastIndexOf(QLatin1String(" [")) : -1;
        names.append(foundry > 0 ? family.left(foundry) : family);
    }
    if (!names.contains(fixedsys, Qt::CaseInsensitive))
        names.append(fixedsys);
    names.removeDuplicates();
    std::stable_sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
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
    QWidget *focus = QApplication::focusWidget();
    QPointer<QWidget> &before = controlBeforeMenus();
    if (qobject_cast<QMenuBar *>(focus))
        return before;
    if (focus)
        before = focus;
    return focus;
}

void Screen::resetState()
{
    setMousePointer(MousePointer::Default);
    state() = ScreenState();
}
