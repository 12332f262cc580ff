#include "platform/keys.h"

#include <QKeyEvent>

int virtualKeyCode(const QKeyEvent &event)
{
    const int key = event.key();
    // Letters and digits share their codes with Qt's.
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return VirtualKey::F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return VirtualKey::Back;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VirtualKey::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VirtualKey::Return;
    case Qt::Key_Shift: return VirtualKey::Shift;
    case Qt::Key_Control: return VirtualKey::Control;
    case Qt::Key_Alt: return VirtualKey::Menu;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return VirtualKey::Capital;
    case Qt::Key_Escape: return VirtualKey::Escape;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return VirtualKey::Insert;
    case Qt::Key_Delete: return VirtualKey::Delete;
    case Qt::Key_NumLock: return VirtualKey::NumLock;
    case Qt::Key_ScrollLock: return VirtualKey::Scroll;
    default: return 0;
    }
}

int shiftState(Qt::KeyboardModifiers modifiers)
{
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= ShiftState::Shift;
    if (modifiers & Qt::ControlModifier)
        state |= ShiftState::Ctrl;
    if (modifiers & Qt::AltModifier)
        state |= ShiftState::Alt;
    return state;
}
