#pragma once

#include <cstdint>

class QWidget;

// A window handle: the widget that messages are sent to.
using WindowHandle = QWidget *;

// Edit-control messages.
constexpr unsigned EM_GETLINECOUNT = 0xBA;
// wParam: a line, or -1 for the caret's; answers where it starts, or -1 when
// the text has no such line.
constexpr unsigned EM_LINEINDEX = 0xBB;
constexpr unsigned EM_CANUNDO = 0xC6;
constexpr unsigned EM_UNDO = 0xC7;
// wParam: a position, or -1 for the start of the selection; answers its line.
constexpr unsigned EM_LINEFROMCHAR = 0xC9;
constexpr unsigned EM_EMPTYUNDOBUFFER = 0xCD;
// Non-zero when the next EM_UNDO puts back the change the last one took back.
constexpr unsigned EM_CANREDO = 0x455;

// A widget that answers window messages implements this beside QWidget.
class MessageTarget
{
public:
    virtual ~MessageTarget() = default;
    virtual intptr_t windowMessage(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
};

// Delivers a message to the window and returns its answer. A window that
// does not understand the message, or no window at all, answers 0.
intptr_t SendMessageA(WindowHandle hwnd, unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0);
