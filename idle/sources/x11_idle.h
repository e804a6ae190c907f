#pragma once

#include "idle/rules/idle_source.h"
#include "runtime/screen/x11/connection.h"
#include "runtime/screen/x11/idle_alarm.h"
#include "runtime/screen/x11/x11_blank.h"

#include <xcb/sync.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string>

namespace pellavin::idle {

// The X server's own idle time, the SYNC extension's IDLETIME counter: the
// milliseconds since the last input, which the server also sets back to zero
// when a client resets its screensaver (players do every few seconds). Two
// alarms on it wake the watcher: one when the delay is reached, one at the
// first input after that. A client that suspends the screensaver holds the
// game off: the server tells its suspensions to no one, but it lists them
// among the client's resources (X-Resource), and its release sets the idle
// time back to zero, so a full delay passes after it. The server blanking
// the screen itself (screen::X11Blank) is reported as on_blanked, and so is
// xscreensaver's blank or lock, by the status it keeps on the root window.
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
    bool screensaver_daemon() const override { return screensaver_daemon_; }

    void watch(Milliseconds delay, Count count) override;
    void stop() override;
    void idle_time(std::function<void(std::optional<Milliseconds>)> answer) override;
    void flush() override;
    bool dispatch() override;

private:
    enum class Phase { Stopped, Waiting, Idle };

    int64_t idle_now();
    bool screensaver_suspended();
    void read_daemon_status();
    void handle(const xcb_generic_event_t& event);
    void handle_queued();

    screen::X11Connection x11_;
    xcb_connection_t* connection_ = nullptr;
    uint8_t alarm_notify_ = 0;
    xcb_sync_counter_t idle_counter_ = 0;
    xcb_atom_t suspension_type_ = 0;  // none: this server cannot tell
    xcb_atom_t daemon_status_ = 0;    // xscreensaver's on the root window
    bool screensaver_daemon_ = false;
    bool daemon_blanked_ = false;  // xscreensaver has blanked or locked the screen
    std::optional<screen::IdleAlarm> idle_alarm_;   // the delay reached
    std::optional<screen::IdleAlarm> input_alarm_;  // input came
    std::optional<screen::X11Blank> blank_;
    bool blank_reported_ = false;
    int64_t delay_ = 0;
    Phase phase_ = Phase::Stopped;
};

}  // namespace pellavin::idle
