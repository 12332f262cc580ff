#pragma once

#include <optional>

enum class LockKey { CapsLock, NumLock, ScrollLock };

// Whether a lock key is on, where the window system tells; nothing where it
// does not (as on a display of its own for tests).
std::optional<bool> lockKeyState(LockKey key);
