#pragma once

#include <QRect>

class QMdiArea;
class QMdiSubWindow;

// The arrangements of a frame's document windows, by the Window menu's codes.
namespace MdiArrange {
constexpr int Cascade = 0;
constexpr int TileHorizontal = 1; // one above the other, each as wide as the area
constexpr int TileVertical = 2;   // side by side, each as high as the area
constexpr int ArrangeIcons = 3;   // minimised windows in rows along the bottom
}

// Arranges the windows of the area; tiling and cascading leave minimised
// windows where they are. Cascading gives each window the size CascadePlace
// does, the active one last and in front.
void Arrange(QMdiArea &area, int arrangement);

// Shows window, when hidden, and brings it forward as the area's active one,
// its widget with the keys. The window going back never takes the keys once
// more on its way out, which a screen reader would announce.
void ActivateSubWindow(QMdiArea &area, QMdiSubWindow &window);

// Where a window cascaded after previous goes: three quarters of the area's
// size, one title bar down and to the right of previous, or at the top left
// when there is none or the window would leave the area there.
QRect CascadePlace(const QMdiArea &area, const QMdiSubWindow &window, const QMdiSubWindow *previous);

// Where a window the area shows for the first time goes: the first cascade
// place after the open window opened last (minimised ones are not open) where
// no open window stands, round the area's end as CascadePlace goes; the place
// right after that window when every place is taken.
QRect NewWindowPlace(const QMdiArea &area, const QMdiSubWindow &window);
