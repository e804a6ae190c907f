#include "runtime/screen/wayland/seat.h"

namespace pellavin::screen {
namespace {

constexpr uint32_t kSeatVersion = 5;  // keys repeat by the seat's rate; pointers and keyboards released

WaylandSeat& seat_of(void* data) { return *static_cast<WaylandSeat*>(data); }

const wl_seat_listener kSeatListener = {
    [](void* data, wl_seat*, uint32_t capabilities) { seat_of(data).capabilities(capabilities); },
    [](void*, wl_seat*, const char*) {},
};

// The wheel's turns come as axis events: they are no clicks.
const wl_pointer_listener kPointerListener = {
    [](void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
        seat_of(data).entered(serial, surface, x, y);
    },
    [](void* data, wl_pointer*, uint32_t, wl_surface*) { seat_of(data).left(); },
    [](void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) { seat_of(data).moved(x, y); },
    [](void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) { seat_of(data).button(state); },
    [](void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {},
    [](void*, wl_pointer*) {},
    [](void*, wl_pointer*, uint32_t) {},
    [](void*, wl_pointer*, uint32_t, uint32_t) {},
    [](void*, wl_pointer*, uint32_t, int32_t) {},
    [](void*, wl_pointer*, uint32_t, int32_t) {},
};

}  // namespace

WaylandSeat::WaylandSeat(const WaylandConnection& wayland, Input input)
    : wayland_(wayland)
    , input_(std::move(input))
    , keyboard_(input_.key_down)
{
    for (const WaylandConnection::Global& global : wayland.globals()) {
        if (added(global)) break;
    }
}

WaylandSeat::~WaylandSeat() { release_seat(); }

bool WaylandSeat::added(const WaylandConnection::Global& global)
{
    if (seat_ != nullptr || global.interface != wl_seat_interface.name) return false;
    global_ = global.name;
    seat_ = static_cast<wl_seat*>(wayland_.bind(global, wl_seat_interface, kSeatVersion));
    wl_seat_add_listener(seat_, &kSeatListener, this);
    return true;
}

bool WaylandSeat::removed(uint32_t global)
{
    if (seat_ == nullptr || global != global_) return false;
    release_seat();
    return true;
}

void WaylandSeat::release_seat()
{
    keyboard_.detach();
    release_pointer();
    release_proxy(seat_, WL_SEAT_RELEASE_SINCE_VERSION, wl_seat_release, wl_seat_destroy);
}

void WaylandSeat::release_pointer()
{
    left();
    release_proxy(pointer_, WL_POINTER_RELEASE_SINCE_VERSION, wl_pointer_release, wl_pointer_destroy);
}

void WaylandSeat::capabilities(uint32_t capabilities)
{
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    if (keyboard) {
        if (!keyboard_.attached()) keyboard_.attach(wl_seat_get_keyboard(seat_));
    } else {
        keyboard_.detach();
    }
    if (pointer && pointer_ == nullptr) {
        pointer_ = wl_seat_get_pointer(seat_);
        wl_pointer_add_listener(pointer_, &kPointerListener, this);
    } else if (!pointer) {
        release_pointer();
    }
}

// Each time the pointer comes over one of the game's windows, it is given
// no image there: it comes back whenever it has been elsewhere.
void WaylandSeat::entered(uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y)
{
    over_ = surface;
    x_ = x;
    y_ = y;
    if (input_.size_of(surface)) wl_pointer_set_cursor(pointer_, serial, nullptr, 0, 0);
}

void WaylandSeat::left()
{
    over_ = nullptr;
    pressed_in_ = nullptr;
}

void WaylandSeat::moved(wl_fixed_t x, wl_fixed_t y)
{
    x_ = x;
    y_ = y;
}

// The release goes where the press went, wherever the pointer is by then.
void WaylandSeat::button(uint32_t state)
{
    if (state == WL_POINTER_BUTTON_STATE_PRESSED) {
        pressed_in_ = input_.size_of(over_) ? over_ : nullptr;
        return;
    }
    const wl_surface* pressed_in = pressed_in_;
    pressed_in_ = nullptr;
    if (pressed_in == nullptr || pressed_in != over_) return;
    const std::optional<Rect> size = input_.size_of(over_);
    const int x = wl_fixed_to_int(x_);
    const int y = wl_fixed_to_int(y_);
    if (size && x_ >= 0 && y_ >= 0 && x < size->width && y < size->height) input_.click();
}

}  // namespace pellavin::screen
