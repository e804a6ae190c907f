#pragma once

#include "runtime/screen/keys.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon.h>

namespace pellavin::screen {

// The X server's keyboard as xkbcommon reads it: its keymap, loaded once
// the first frame is out (or at the first key, should that come sooner),
// and again when the server changes it.
class X11Keyboard {
public:
    explicit X11Keyboard(xcb_connection_t* connection);
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    void load();
    bool loaded() const { return keys_.loaded(); }
    // An XKB event: the keymap has changed, or another keyboard is typed
    // on (xdotool's, say), whose keymap may differ. False for any other event.
    bool handle(const xcb_generic_event_t& event);
    // Reads the keymap when it has not been read or has changed since;
    // returns whether it did. Called once the events at hand are handled: a
    // key that ends the game must not wait for round trips first, and the
    // arrows are the same keys on every keyboard.
    bool catch_up();

    // The key pressed in the modifiers and layout that the event carries.
    // Without a keymap every key is one without a code.
    KeyDown key_down(const xcb_key_press_event_t& event);

private:
    void reload();

    xcb_connection_t* connection_;
    xkb_context* context_ = nullptr;
    KeyboardState keys_;
    int32_t device_ = -1;
    uint8_t first_event_ = 0;
    bool tried_ = false;
    bool stale_ = false;
};

}  // namespace pellavin::screen
