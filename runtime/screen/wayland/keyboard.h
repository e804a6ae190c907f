#pragma once

#include "runtime/screen/key_repeat.h"
#include "runtime/screen/keys.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <functional>

namespace pellavin::screen {

// A seat's keyboard as xkbcommon reads it: the compositor's keymap and
// modifiers, and the repeats of a held key, which on Wayland are the
// program's to make: a timer the loop waits on brings each one.
class WaylandKeyboard {
public:
    explicit WaylandKeyboard(std::function<void(KeyDown)> key_down);
    ~WaylandKeyboard();
    WaylandKeyboard(const WaylandKeyboard&) = delete;
    WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;

    // The seat has a keyboard, or has it no more.
    void attach(wl_keyboard* keyboard);
    void detach();
    bool attached() const { return keyboard_ != nullptr; }

    // What the loop waits on for repeats; readable when one is due.
    int repeat_fd() const { return timer_; }
    void repeat_due();

    // From the compositor.
    void keymap(uint32_t format, int fd, uint32_t size);
    void key(uint32_t key, uint32_t state);
    void modifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group);
    void repeat_info(int32_t rate, int32_t delay);
    void leave();

private:
    void arm();

    std::function<void(KeyDown)> key_down_;
    wl_keyboard* keyboard_ = nullptr;
    xkb_context* context_ = nullptr;
    KeyboardState keys_;
    KeyRepeat repeat_;
    int timer_;
};

}  // namespace pellavin::screen
