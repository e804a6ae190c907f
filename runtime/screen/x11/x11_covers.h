#pragma once

#include "runtime/screen/x11/x11_screen.h"

#include <xcb/xcb.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pellavin::screen {

// Plain black windows over every monitor but the game's, with the pointer
// hidden. They belong to the game's window: a key or a click on a cover is
// the game's own, they follow monitors as they are added, moved and
// removed, and they go when it goes. The server keeps them black: they
// cost no drawing at all. A screen locker's grab that takes the keyboard
// from a cover is the game's business too.
class X11Covers {
public:
    X11Covers(xcb_connection_t* connection, const ScreenFacts& facts, std::string title, xcb_cursor_t cursor);
    ~X11Covers();
    X11Covers(const X11Covers&) = delete;
    X11Covers& operator=(const X11Covers&) = delete;

    // Covers every monitor of `monitors` but the game's; true when a new
    // cover overlaps the game's monitor (a mirrored one), and so stands
    // above the game.
    bool follow(const std::vector<Monitor>& monitors, const Monitor& game);
    // Takes every cover away.
    void clear();
    bool owns(xcb_window_t window) const { return size_of(window).has_value(); }
    // A cover's size, at (0, 0); nothing for a window that is no cover.
    std::optional<Rect> size_of(xcb_window_t window) const;

private:
    struct Cover {
        xcb_window_t window;
        Rect geometry;
    };

    xcb_connection_t* connection_;
    const ScreenFacts& facts_;
    std::string title_;
    xcb_cursor_t cursor_;
    std::map<xcb_atom_t, Cover> covers_;  // by monitor name
};

}  // namespace pellavin::screen
