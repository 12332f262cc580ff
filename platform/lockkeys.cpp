#include "platform/lockkeys.h"

#include <QGuiApplication>

#if QUILLORY_HAVE_XCB_XKB
// The header names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#endif

std::optional<LockKeyStates> lockKeyStates()
{
#if QUILLORY_HAVE_XCB_XKB
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t *connection = x11->connection();
    static const bool extension = [connection] {
        xcb_xkb_use_extension_reply_t *reply = xcb_xkb_use_extension_reply(
            connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr);
        const bool supported = reply && reply->supported;
        free(reply);
        return supported;
    }();
    if (!extension)
        return std::nullopt;
    xcb_xkb_get_indicator_state_reply_t *reply = xcb_xkb_get_indicator_state_reply(
        connection, xcb_xkb_get_indicator_state(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr);
    if (!reply)
        return std::nullopt;
    // The keyboard's first three indicators are Caps, Num and Scroll Lock.
    const LockKeyStates states {bool(reply->state & 1u), bool(reply->state & 2u), bool(reply->state & 4u)};
    free(reply);
    return states;
#else
    return std::nullopt;
#endif
}
