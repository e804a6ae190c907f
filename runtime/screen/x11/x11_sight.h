#pragma once

#include "runtime/screen/x11/x11_blank.h"

#include <xcb/xcb.h>

#include <optional>

namespace pellavin::screen {

// Whether anybody can see the form's window on the X server: not while it
// is unmapped or wholly covered, nor while the server has blanked the
// screen itself (X11Blank). The server tells of each as it changes;
// nothing is polled.
class X11Sight {
public:
    X11Sight(xcb_connection_t* connection, xcb_window_t root);
    X11Sight(const X11Sight&) = delete;
    X11Sight& operator=(const X11Sight&) = delete;

    // Asks how things stand now, and to be told of the server's blank from
    // now on: once the first frame is out, so that it waits for none of it.
    void start();
    bool seen() const { return !(unmapped_ || covered_ || (blank_ && blank_->blanked())); }

    // An event of the server's about `window` (the form's) or its blank;
    // true when it was one the sight takes.
    bool handle(const xcb_generic_event_t& event, xcb_window_t window);

private:
    xcb_connection_t* connection_;
    xcb_window_t root_;
    std::optional<X11Blank> blank_;
    bool unmapped_ = false;
    bool covered_ = false;
};

}  // namespace pellavin::screen
