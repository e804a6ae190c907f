#pragma once

#include "idle/x11_idle_alarm.h"

#include <xcb/xcb.h>

#include <optional>

namespace pellavin::idle {

// The X server blanking the screen itself: its own screen saver (the
// MIT-SCREEN-SAVER extension tells its state and each change), and DPMS
// putting the monitors into standby, suspend or off. DPMS tells nobody, so
// the server's own idle time says when to look: an alarm at its first
// timeout, and another at the input that wakes the monitors. A server
// without either extension blanks nothing that can be known.
class X11Blank {
public:
    X11Blank(xcb_connection_t* connection, xcb_window_t root, xcb_sync_counter_t idle_counter);
    X11Blank(const X11Blank&) = delete;
    X11Blank& operator=(const X11Blank&) = delete;

    bool blanked() const { return saver_on_ || monitors_off_; }
    // Takes the events that are its own; false for any other.
    bool handle(const xcb_generic_event_t& event, uint8_t alarm_notify);

private:
    void watch_monitors();

    xcb_connection_t* connection_;
    uint8_t saver_notify_ = 0;  // 0: no MIT-SCREEN-SAVER
    bool saver_on_ = false;
    bool dpms_ = false;
    std::optional<IdleAlarm> monitors_off_alarm_;
    std::optional<IdleAlarm> monitors_on_alarm_;
    bool monitors_off_ = false;
};

}  // namespace pellavin::idle
