#pragma once

#include <Qt>

class QKeyEvent;

// Virtual-key codes of the keys the program looks at.
namespace VirtualKey {
constexpr int Back = 8;
constexpr int Tab = 9;
constexpr int Return = 13;
constexpr int Shift = 16;
constexpr int Control = 17;
constexpr int Menu = 18; // Alt
constexpr int Capital = 20;
constexpr int Escape = 27;
constexpr int Insert = 45;
constexpr int Delete = 46;
constexpr int F1 = 112;
constexpr int NumLock = 144;
constexpr int Scroll = 145;
}

// Shift state bits of key events: Shift 1, Ctrl 2, Alt 4.
namespace ShiftState {
constexpr int Shift = 1;
constexpr int Ctrl = 2;
constexpr int Alt = 4;
}

// The virtual-key code of a key event, or 0 for a key that has none.
int virtualKeyCode(const QKeyEvent &event);
int shiftState(Qt::KeyboardModifiers modifiers);
