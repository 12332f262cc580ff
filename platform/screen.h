#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Mouse pointers the program sets on the whole screen.
namespace MousePointer {
constexpr int Default = 0;
constexpr int Hourglass = 11;
}

// The screen as the program sees it: its size and resolution in twips, the
// screen-wide mouse pointer, the installed fonts and the control that has the
// input focus.
class Screen
{
public:
    // Twips per pixel from the screen's logical resolution (15 at 96 dpi).
    static int twipsPerPixelX();
    static int twipsPerPixelY();
    // A length in twips as whole pixels.
    static int pixelsX(int twips);
    static int pixelsY(int twips);
    static int width();  // twips
    static int height(); // twips

    static int mousePointer();
    // Default or Hourglass; any other value is ignored.
    static void setMousePointer(int pointer);

    // The font names, sorted, each once. "Fixedsys", the design's fixed-width
    // screen font, is always among them: where the platform has no font of
    // that name, its fixed-pitch system font stands in for it.
    static int fontCount();
    static QString fonts(int index);
    // Those names for a list of the platform's families: each family by its
    // plain name, though several foundries make it ("Sans [Foundry]").
    static QStringList fontNames(const QStringList &families);
    // The family that draws a font name: the stand-in for "Fixedsys", else
    // the name itself.
    static QString fontFamily(const QString &name);

    // The control with the input focus, or null. While the menu bar has the
    // keys, the control that had them before.
    static QWidget *activeControl();

    // Back to the start: default pointer, font list read again on next use.
    static void resetState();
};
