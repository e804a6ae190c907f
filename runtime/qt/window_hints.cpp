#include "runtime/qt/window_hints.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <array>
#include <cstring>

namespace pellavin::qt_backend {
namespace {

// The window manager hints that Motif defined and every X window manager reads.
constexpr uint32_t kHintFunctions = 1u << 0;
constexpr uint32_t kHintDecorations = 1u << 1;
constexpr uint32_t kFunctionMove = 1u << 2;
constexpr uint32_t kFunctionClose = 1u << 5;
constexpr uint32_t kDecorBorder = 1u << 1;
constexpr uint32_t kDecorTitle = 1u << 3;
constexpr uint32_t kDecorMenu = 1u << 4;

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    free(reply);
    return value;
}

}  // namespace

void offer_only_move_and_close(QWidget& window)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) return;
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t hints = atom(connection, "_MOTIF_WM_HINTS");
    if (hints == XCB_ATOM_NONE) return;
    const std::array<uint32_t, 5> value = {kHintFunctions | kHintDecorations, kFunctionMove | kFunctionClose,
        kDecorBorder | kDecorTitle | kDecorMenu, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window.winId()), hints, hints,
        32, static_cast<uint32_t>(value.size()), value.data());
    xcb_flush(connection);
}

}  // namespace pellavin::qt_backend
