#pragma once

#include "runtime/screen/geometry.h"
#include "runtime/screen/x11/x11_screen.h"

#include <xcb/xcb.h>

#include <string>

namespace pellavin::screen {

// Creates one of the program's full-screen windows over `geometry`: black
// where nothing is drawn, without a pointer, taking the given events, and
// described to window managers and tools as a full-screen window without a
// frame, of the program's class and process, that a close box asks to close.
xcb_window_t create_full_screen_window(xcb_connection_t* connection, const ScreenFacts& facts, const Rect& geometry,
    const std::string& title, uint32_t background_pixel, uint32_t event_mask, xcb_cursor_t cursor);

// A pointer image with no pixel to show: the pointer is there and clicks
// arrive, but nothing of it can be seen.
xcb_cursor_t create_invisible_cursor(xcb_connection_t* connection, xcb_window_t root);

}  // namespace pellavin::screen
