#pragma once

#include <xcb/xcb.h>

namespace pellavin::screen {

// Whether anybody can see the form's window on the X server: not while it
// is unmapped or wholly covered, while the server's own screen saver is on,
// nor while the screen's power saving (DPMS) has the monitor off. The
// server tells of the first three as they change; DPMS tells nobody, so it
// is asked every few seconds, and only while it alone could hide the window.
class X11Sight {
public:
    X11Sight(xcb_connection_t* connection, xcb_window_t root);
    ~X11Sight();
    X11Sight(const X11Sight&) = delete;
    X11Sight& operator=(const X11Sight&) = delete;

    // Asks how things stand now, and to be told of the screen saver from now on.
    void start();
    bool started() const { return started_; }
    bool seen() const { return started_ ? !(unmapped_ || covered_ || saver_on_ || monitor_off_) : true; }

    // An event of the server's about `window` (the form's) or the screen
    // saver; true when it was one the sight takes.
    bool handle(const xcb_generic_event_t& event, xcb_window_t window);
    // What the loop waits on for the next look at DPMS.
    int fd() const { return timer_; }
    // The descriptor was readable: looks at DPMS when it is time.
    void wake();

private:
    void look_at_power();
    void plan_power_looks();

    xcb_connection_t* connection_;
    xcb_window_t root_;
    int timer_;
    uint8_t saver_event_ = 0;  // 0: the server has no MIT-SCREEN-SAVER
    bool dpms_ = false;
    bool started_ = false;
    bool unmapped_ = false;
    bool covered_ = false;
    bool saver_on_ = false;
    bool monitor_off_ = false;
    bool looking_ = false;
};

}  // namespace pellavin::screen
