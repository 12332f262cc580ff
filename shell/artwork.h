#pragma once

#include <QIcon>
#include <QPixmap>

// Pictures of the program's own. They are built into the program, so every
// accessor always gives a picture.

enum class ToolbarImage {
    New,
    Open,
    Save,
    Print,
    Cut,
    Copy,
    Paste,
    Delete,
    Undo,
    Redo,
    Bold,
    Italic,
    Underline,
    TextColor,
    BackColor,
    DateTime,
    Find
};

// Each picture comes drawn for the device pixels it covers on a device of the
// given pixel ratio (up to two), its logical size the same at every ratio.
QPixmap splashPicture(qreal devicePixelRatio = 1);     // 446 x 268
QPixmap backgroundPicture(qreal devicePixelRatio = 1); // 446 x 268, shown while no document is open
QPixmap logoPicture(int size, qreal devicePixelRatio); // size x size: 96 in the About box, 48 in the dialogs
QIcon applicationIcon();     // 16 to 256 pixels

// The platform's icon theme where it has a fitting icon, our own image
// otherwise; text colour, background colour and date/time are always ours.
// Our images come in 16 and 32 pixels (the latter for high resolution).
QIcon toolbarIcon(ToolbarImage image);
