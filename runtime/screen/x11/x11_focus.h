#pragma once

#include "runtime/screen/x11/x11_screen.h"

#include <xcb/xcb.h>

namespace pellavin::screen {

// How keys reach the game: by the keyboard's focus, never by a grab, so
// that a screen locker can take the keyboard at any moment. The focus is
// asked of the window manager the standard way (_NET_ACTIVE_WINDOW), with
// a time the server gave the window as it appeared, so that a window manager
// that keeps new windows from stealing the focus (mutter, KWin) sees it
// asked for in order; where no window manager runs, the game sets it itself.
class X11Focus {
public:
    X11Focus(xcb_connection_t* connection, const ScreenFacts& facts);
    X11Focus(const X11Focus&) = delete;
    X11Focus& operator=(const X11Focus&) = delete;

    // Has the server stamp an event with its time of now (PropertyNotify
    // on `window`, which selects property changes).
    void ask_time(xcb_window_t window);
    // A time the server stamped one of the window's events with.
    void saw_time(xcb_timestamp_t time) { time_ = time; }
    // `window` has shown: asks for the focus for it.
    void ask_for(xcb_window_t window);

private:
    bool window_manager_runs();

    xcb_connection_t* connection_;
    const ScreenFacts& facts_;
    xcb_get_window_attributes_cookie_t root_attributes_;
    bool managed_ = false;
    xcb_timestamp_t time_ = XCB_CURRENT_TIME;
};

}  // namespace pellavin::screen
