#pragma once

class QMdiArea;

// The arrangements of a frame's document windows, by the Window menu's codes.
namespace MdiArrange {
constexpr int Cascade = 0;
constexpr int TileHorizontal = 1; // one above the other, each as wide as the area
constexpr int TileVertical = 2;   // side by side, each as high as the area
constexpr int ArrangeIcons = 3;   // minimised windows in rows along the bottom
}

// Arranges the windows of the area; tiling and cascading leave minimised
// windows where they are.
void Arrange(QMdiArea &area, int arrangement);
