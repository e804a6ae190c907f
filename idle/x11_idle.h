#pragma once

#include "idle/idle_source.h"
#include "runtime/screen/x11/connection.h"

#include <xcb/sync.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <string>

namespace pellavin::idle {

// The X server's own idle time, the SYNC extension's IDLETIME counter: the
// milliseconds since the last input, which the server also sets back to zero
// when a client resets its screensaver (players do every few seconds). Two
// alarms on it wake the watcher: one when the delay is reached, one at the
// first input after that. A client that suspends the screensaver holds the
// game off: the server tells its suspensions to no one, but it lists them
// among the client's resources (X-Resource), and its release sets the idle
// time back to zero, so a full delay passes after it.
class X11IdleSource final : public SessionIdleSource {
public:
    // Connects to the X server that DISPLAY names; throws SessionError when
    // it cannot be reached or has no IDLETIME counter.
    X11IdleSource();
    ~X11IdleSource() override;
    X11IdleSource(const X11IdleSource&) = delete;
    X11IdleSource& operator=(const X11IdleSource&) = delete;

    // False when the server lists no resources, so that a suspension of
    // the screensaver goes unseen.
    bool can_see_suspensions() const;

    void watch(Milliseconds delay, Count count) override;
    void stop() override;
    void flush() override;
    bool dispatch() override;

private:
    enum class Phase { Stopped, Waiting, Idle };

    void arm(xcb_sync_alarm_t alarm, xcb_sync_testtype_t test, int64_t value);
    void disarm(xcb_sync_alarm_t alarm);
    int64_t idle_time();
    bool screensaver_suspended();
    void handle(const xcb_generic_event_t& event);
    void handle_queued();

    screen::X11Connection x11_;
    xcb_connection_t* connection_ = nullptr;
    uint8_t alarm_notify_ = 0;
    xcb_sync_counter_t idle_counter_ = 0;
    xcb_atom_t suspension_type_ = 0;  // none: this server cannot tell
    xcb_sync_alarm_t idle_alarm_ = 0;   // the delay reached
    xcb_sync_alarm_t input_alarm_ = 0;  // input came
    int64_t idle_value_ = -1;           // what each alarm was last armed at
    int64_t input_value_ = -1;
    int64_t delay_ = 0;
    Phase phase_ = Phase::Stopped;
};

}  // namespace pellavin::idle
