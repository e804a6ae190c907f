#pragma once

#include "runtime/core/no_display.h"

#include <functional>
#include <vector>

namespace pellavin {

enum class WindowSystem { none, wayland, x11 };

struct WindowSystemChoice {
    WindowSystem system = WindowSystem::none;
    // The ways that led nowhere, in the order they were tried: with none
    // chosen, what the program's one line names; with X11 chosen, a
    // WAYLAND_DISPLAY left over from another session.
    std::vector<runtime::DisplayTried> tried;
};

// Where the three programs show, the one rule for all of them: the Wayland
// compositor that WAYLAND_DISPLAY names when it answers (an X server inside
// a Wayland session sees only its own clients), else the X server of
// DISPLAY. Each way is tried only when its variable is set, X11 only when
// no compositor answered; a program passes what it connects through, and
// keeps it. An empty `wayland_answers` leaves Wayland out (a screensaver
// framework's window lives on an X server).
WindowSystemChoice choose_window_system(const std::function<bool()>& wayland_answers,
                                        const std::function<bool()>& x11_answers);

// The same rule, each way tried by a connection that is closed again: for a
// program whose toolkit connects by itself.
WindowSystemChoice probe_window_system();

}  // namespace pellavin
