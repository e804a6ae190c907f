#pragma once

#include "runtime/screen/x11/idle_alarm.h"

#include <xcb/xcb.h>

#include <optional>

namespace pellavin::screen {

// The X server blanking the screen itself: its own screen saver (the
// MIT-SCREEN-SAVER extension tells its state and each change), and DPMS
// putting the monitors into standby, suspend or off. DPMS tells nobody, so
// the server's own idle time says when to look: an alarm a second after its
// first timeout, and another at the input that wakes the monitors; nothing
// is polled. A server without either extension blanks nothing that can be
// known. The game rests while it is blanked, and the idle watcher ends the
// game it started.
class X11Blank {
public:
    // `idle_counter` is the server's IDLETIME (find_idle_counter()); without
    // it, DPMS goes unseen.
    X11Blank(xcb_connection_t* connection, xcb_window_t root, xcb_sync_counter_t idle_counter);
    X11Blank(const X11Blank&) = delete;
    X11Blank& operator=(const X11Blank&) = delete;

    bool blanked() const { return saver_on_ || monitors_off_; }
    // Takes the events that are its own; false for any other.
    bool handle(const xcb_generic_event_t& event);

private:
    void watch_monitors();

    xcb_connection_t* connection_;
    uint8_t saver_notify_ = 0;  // 0: no MIT-SCREEN-SAVER
    uint8_t alarm_notify_ = 0;
    bool saver_on_ = false;
    bool dpms_ = false;
    std::optional<IdleAlarm> monitors_off_alarm_;
    std::optional<IdleAlarm> monitors_on_alarm_;
    bool monitors_off_ = false;
};

}  // namespace pellavin::screen
