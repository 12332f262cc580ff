#include "platform/messages.h"

#include <QWidget>

intptr_t SendMessageA(WindowHandle hwnd, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    if (auto *target = dynamic_cast<MessageTarget *>(hwnd))
        return target->windowMessage(message, wParam, lParam);
    return 0;
}
