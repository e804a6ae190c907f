#pragma once

#include "runtime/screen/geometry.h"
#include "runtime/screen/x11/x11_canvas.h"

#include <xcb/xcb.h>

#include <optional>
#include <string_view>
#include <vector>

namespace pellavin::screen {

class X11Connection;

// A monitor of the X screen, as RandR shows it.
struct Monitor {
    xcb_atom_t name = XCB_ATOM_NONE;
    Rect geometry;
    bool primary = false;
};

// The atoms the program's windows are described with.
struct X11Atoms {
    xcb_atom_t wm_protocols = XCB_ATOM_NONE;
    xcb_atom_t wm_delete_window = XCB_ATOM_NONE;
    xcb_atom_t net_wm_state = XCB_ATOM_NONE;
    xcb_atom_t net_wm_state_fullscreen = XCB_ATOM_NONE;
    xcb_atom_t motif_wm_hints = XCB_ATOM_NONE;
    xcb_atom_t net_wm_pid = XCB_ATOM_NONE;
    xcb_atom_t net_wm_name = XCB_ATOM_NONE;
    xcb_atom_t utf8_string = XCB_ATOM_NONE;
    xcb_atom_t net_active_window = XCB_ATOM_NONE;
    xcb_atom_t net_wm_user_time = XCB_ATOM_NONE;
    // A property of the game's own, changed only to learn the server's time.
    xcb_atom_t timestamp = XCB_ATOM_NONE;
};

// What the server says about its screen, asked for all at once so that it
// costs as few round trips as can be before the first frame.
struct ScreenFacts {
    xcb_window_t root = XCB_WINDOW_NONE;
    Rect root_geometry;
    PixelFormat root_format;
    // The logical DPI desktops set in Xft.dpi, 96 without it.
    double dpi = 0;
    X11Atoms atoms;
    // RandR's monitors; one, the whole screen, where RandR has none.
    std::vector<Monitor> monitors;
    // The first event number of RandR; 0 when the server lacks it.
    uint8_t randr_first_event = 0;
};

// Asks the server; with `with_monitors` false no RandR is asked for and the
// whole screen is its one monitor.
ScreenFacts query_screen(const X11Connection& connection, bool with_monitors);

// RandR's monitors as they are now.
std::vector<Monitor> query_monitors(xcb_connection_t* connection, xcb_window_t root, const Rect& root_geometry);

// The game's monitor: the primary, or the first when none is.
Monitor primary_monitor(const std::vector<Monitor>& monitors);

// The DPI that the resource database text sets in Xft.dpi, as toolkits
// read it (a positive whole number); nothing without one.
std::optional<int> xft_dpi(std::string_view resources);

// The masks of a true-colour visual of the connection; nothing when the
// visual is not true colour.
std::optional<PixelFormat> pixel_format(xcb_connection_t* connection, xcb_visualid_t visual);

}  // namespace pellavin::screen
