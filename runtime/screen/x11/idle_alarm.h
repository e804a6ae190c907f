#pragma once

#include <xcb/sync.h>
#include <xcb/xcb.h>

#include <cstdint>

namespace pellavin::screen {

// The X server's idle time, the SYNC extension's IDLETIME counter (the
// milliseconds since the last input); 0 when the server keeps none.
xcb_sync_counter_t find_idle_counter(xcb_connection_t* connection);

// An alarm of the SYNC extension on the IDLETIME counter: it sends an
// AlarmNotify event when its test holds, while it is armed.
class IdleAlarm {
public:
    IdleAlarm(xcb_connection_t* connection, xcb_sync_counter_t idle_counter);
    ~IdleAlarm();
    IdleAlarm(const IdleAlarm&) = delete;
    IdleAlarm& operator=(const IdleAlarm&) = delete;

    // Once the idle time is at least `value` (a comparison: at once when it
    // is already), or falls below `value` from above (input came).
    void arm_at_least(int64_t value) { arm(XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON, value); }
    void arm_below(int64_t value) { arm(XCB_SYNC_TESTTYPE_NEGATIVE_TRANSITION, value); }
    void disarm();

    // The event is this alarm's, as it is armed now (the server may have
    // sent it before a change).
    bool fired(const xcb_sync_alarm_notify_event_t& event) const;

private:
    void arm(xcb_sync_testtype_t test, int64_t value);

    xcb_connection_t* connection_;
    xcb_sync_alarm_t alarm_;
    int64_t value_ = -1;  // -1: disarmed
};

int64_t to_int64(xcb_sync_int64_t value);

// The type of the SYNC extension's AlarmNotify events on this server; 0
// without the extension.
uint8_t alarm_notify_type(xcb_connection_t* connection);

}  // namespace pellavin::screen
