#pragma once

#include "runtime/screen/geometry.h"
#include "runtime/screen/wayland/connection.h"
#include "runtime/screen/wayland/keyboard.h"

#include <functional>
#include <optional>

namespace pellavin::screen {

// The user's keyboard and pointer, as the compositor's first seat has them
// (a headless compositor may give it neither until input comes, and take
// them again). The pointer is hidden over every window of the game each
// time it comes in; a click is a press and a release on one of them.
class WaylandSeat {
public:
    struct Input {
        // The size of one of the game's windows, logical pixels; nothing
        // for a surface that is none of them.
        std::function<std::optional<Rect>(const wl_surface*)> size_of;
        std::function<void(KeyDown)> key_down;
        std::function<void()> click;
    };

    WaylandSeat(const WaylandConnection& wayland, Input input);
    ~WaylandSeat();
    WaylandSeat(const WaylandSeat&) = delete;
    WaylandSeat& operator=(const WaylandSeat&) = delete;

    // A global that came or went; false for one that is not this seat.
    bool added(const WaylandConnection::Global& global);
    bool removed(uint32_t global);

    WaylandKeyboard& keyboard() { return keyboard_; }

    // From the compositor.
    void capabilities(uint32_t capabilities);
    void entered(uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y);
    void left();
    void moved(wl_fixed_t x, wl_fixed_t y);
    void button(uint32_t state);

private:
    void release_pointer();
    void release_seat();

    const WaylandConnection& wayland_;
    Input input_;
    WaylandKeyboard keyboard_;
    uint32_t global_ = 0;
    wl_seat* seat_ = nullptr;
    wl_pointer* pointer_ = nullptr;
    const wl_surface* over_ = nullptr;  // where the pointer is
    wl_fixed_t x_ = 0;
    wl_fixed_t y_ = 0;
    const wl_surface* pressed_in_ = nullptr;
};

}  // namespace pellavin::screen
