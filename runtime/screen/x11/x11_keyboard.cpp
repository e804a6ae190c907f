#include "runtime/screen/x11/x11_keyboard.h"

#include <xkbcommon/xkbcommon-x11.h>

// libxcb's XKB header names a field `explicit`, which C++ keeps for itself.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace pellavin::screen {
namespace {

// In a core key event's state, XKB puts the layout in bits 13 and 14.
constexpr int kLayoutShift = 13;
constexpr uint16_t kLayoutBits = 0x3;
constexpr uint16_t kModifierBits = 0xFF;

}  // namespace

X11Keyboard::X11Keyboard(xcb_connection_t* connection)
    : connection_(connection)
{
}

X11Keyboard::~X11Keyboard() { xkb_context_unref(context_); }

void X11Keyboard::load()
{
    if (tried_) return;
    tried_ = true;
    uint8_t first_event = 0;
    if (!xkb_x11_setup_xkb_extension(connection_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &first_event, nullptr)) {
        return;
    }
    context_ = new_keymap_context();
    device_ = xkb_x11_get_core_keyboard_device_id(connection_);
    if (context_ == nullptr || device_ < 0) return;
    first_event_ = first_event;
    constexpr uint16_t kEvents = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    constexpr uint16_t kMapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS
        | XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS
        | XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events(connection_, static_cast<xcb_xkb_device_spec_t>(device_), kEvents, 0, kEvents, kMapParts,
        kMapParts, nullptr);
    reload();
}

bool X11Keyboard::catch_up()
{
    if (!tried_) {
        load();
        return true;
    }
    if (!stale_) return false;
    reload();
    return true;
}

void X11Keyboard::reload()
{
    stale_ = false;
    keys_.set_keymap(xkb_x11_keymap_new_from_device(context_, connection_, device_, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

bool X11Keyboard::handle(const xcb_generic_event_t& event)
{
    if (first_event_ == 0 || (event.response_type & 0x7F) != first_event_) return false;
    // Every XKB event has the one number; its kind is in the next byte.
    const uint8_t kind = event.pad0;
    if (kind == XCB_XKB_NEW_KEYBOARD_NOTIFY || kind == XCB_XKB_MAP_NOTIFY) stale_ = true;
    return true;
}

KeyDown X11Keyboard::key_down(const xcb_key_press_event_t& event)
{
    load();
    const uint16_t modifiers = event.state & kModifierBits;
    const uint16_t layout = (event.state >> kLayoutShift) & kLayoutBits;
    keys_.set_modifiers(modifiers, 0, 0, layout);
    return keys_.key_down(event.detail);
}

}  // namespace pellavin::screen
