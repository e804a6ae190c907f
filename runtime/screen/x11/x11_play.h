#pragma once

#include "runtime/screen/full_screen.h"
#include "runtime/screen/x11/connection.h"

#include <xcb/xcb.h>

#include <optional>
#include <string>

namespace pellavin::screen {

// Plays the program's start-up form on the X server: on the primary
// monitor in a window of its own, or in the window `given`, where the whole
// scene fits into the window, a game that ends starts again, and so does a
// game whose window changes size; returns the exit status once the server
// (or the given window) has gone (the program ends by itself otherwise).
int play_on_x11(X11Connection& x11, const std::string& title, const FormFactory& make_form,
    std::optional<xcb_window_t> given);

}  // namespace pellavin::screen
