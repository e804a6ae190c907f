#pragma once

#include "idle/bus_call.h"
#include "idle/idle_source.h"
#include "idle/session.h"

#include <cstdint>
#include <string>

namespace pellavin::idle {

// GNOME's idle time, which mutter keeps on the session bus instead of a
// Wayland protocol: org.gnome.Mutter.IdleMonitor. An idle watch fires once
// the session has had no input for its interval, counted from the last
// input, and again only after input and another full interval; a
// user-active watch fires once, at the next input. Both come back as
// WatchFired. Past the first question, which waits a bounded time, every
// call is sent without waiting, so a stalled monitor holds up nothing: it
// only starts no game. The monitor's owner leaving
// the bus is the end of the session.
class GnomeIdleSource final : public SessionIdleSource {
public:
    // Nobody owns the monitor's name on the session bus, or there is none.
    class NotOffered : public SessionError {
    public:
        using SessionError::SessionError;
    };

    // Joins the session bus and asks the monitor for the idle time once;
    // throws NotOffered, or SessionError when it does not answer within
    // `timeout` or answers with nonsense.
    explicit GnomeIdleSource(Milliseconds timeout);
    ~GnomeIdleSource() override;
    GnomeIdleSource(const GnomeIdleSource&) = delete;
    GnomeIdleSource& operator=(const GnomeIdleSource&) = delete;

    void watch(Milliseconds delay, Count count) override;
    void stop() override;
    short events() const override;
    int timeout_ms() const override;
    void flush() override;
    bool dispatch() override;

    // Called by the bus's handlers.
    void watch_fired(uint32_t id, const char* sender);
    void owner_changed(const std::string& owner);

private:
    void add_idle_watch(uint64_t interval);
    void add_user_active_watch();
    // Keeps the id of a watch added for this watch() in `watch`, and
    // removes one added for an earlier one.
    ReplyHandler added(uint32_t* watch, const char* member);
    void remove_watch(uint32_t& id);
    // False for an error, said unless one was said already.
    bool answered(sd_bus_message* reply, const char* member);
    void close();

    sd_bus* bus_ = nullptr;
    Milliseconds timeout_;
    std::string owner_;  // the unique name that owns the monitor
    bool gone_ = false;
    uint64_t generation_ = 0;  // one more at each watch() and stop()
    uint64_t delay_ = 0;       // ms
    uint32_t idle_watch_ = 0;  // 0: none
    uint32_t active_watch_ = 0;
    bool problem_said_ = false;  // since the last watch was set up
};

}  // namespace pellavin::idle
