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

QPixmap splashPicture();     // 446 x 268
QPixmap backgroundPicture(); // 446 x 268, shown while no document is open
QPixmap logoPicture();       // 96 x 96, for the About box
QIcon applicationIcon();     // 16 to 256 pixels

// The platform's icon theme where it has a fitting icon, our own image
// otherwise; text colour, background colour and date/time are always ours.
// Our images come in 16 and 32 pixels (the latter for high resolution).
QIcon toolbarIcon(ToolbarImage image);
