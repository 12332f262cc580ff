#pragma once

#include <optional>

struct LockKeyStates
{
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
};

// Whether the lock keys are on, where the window system tells; nothing where
// it does not (as on a display of its own for tests).
std::optional<LockKeyStates> lockKeyStates();
