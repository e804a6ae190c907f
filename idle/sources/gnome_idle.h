#pragma once

#include "idle/bus/bus_call.h"
#include "idle/rules/idle_source.h"
#include "idle/sources/session.h"

#include <cstdint>
#include <string>

namespace pellavin::idle {

// GNOME's idle time, which mutter keeps on the session bus instead of a
// Wayland protocol: org.gnome.Mutter.IdleMonitor. An idle watch fires once
// the session has had no input for its interval, counted from the last
// input, and again only after input and another full interval; a
// user-active watch fires once, at the next input. Both come back as
// WatchFired. Every call is sent without waiting and asked again until the
// monitor answers, so a slow monitor (a desktop busy at login) only puts
// the game off until it answers. The monitor's owner leaving the bus is the
// end of the session.
class GnomeIdleSource final : public SessionIdleSource {
public:
    // Nobody owns the monitor's name on the session bus, or there is none.
    class NotOffered : public SessionError {
    public:
        using SessionError::SessionError;
    };

    // Follows the monitor that owns the name now; throws NotOffered, or
    // SessionError when the bus refuses what it needs.
    explicit GnomeIdleSource(const BusContext& context);
    GnomeIdleSource(const GnomeIdleSource&) = delete;
    GnomeIdleSource& operator=(const GnomeIdleSource&) = delete;

    void watch(Milliseconds delay, Count count) override;
    void stop() override;
    void idle_time(std::function<void(std::optional<Milliseconds>)> answer) override;
    // The bus itself is the loop's: here only whether the monitor is there,
    // and the bus it is on.
    int timeout_ms() const override { return gone_ ? 0 : -1; }
    void flush() override {}
    bool dispatch() override { return !gone_ && context_.bus(); }

    // Called by the bus's handlers.
    void watch_fired(uint32_t id, const char* sender);
    void owner_changed(const std::string& owner);

private:
    void add_idle_watch(uint64_t interval);
    void add_user_active_watch();
    // Keeps the id of a watch added for this watch() in `watch`, and
    // removes one added for an earlier one.
    ReplyHandler added(uint32_t* watch);
    void remove_watch(uint32_t& id);

    BusContext context_;
    BusSlots slots_;
    BusQuestion get_idle_time_;
    BusQuestion add_idle_watch_;
    BusQuestion add_user_active_watch_;
    std::string owner_;  // the unique name that owns the monitor
    bool gone_ = false;
    uint64_t generation_ = 0;  // one more at each watch() and stop()
    uint64_t delay_ = 0;       // ms
    uint32_t idle_watch_ = 0;  // 0: none
    uint32_t active_watch_ = 0;
};

}  // namespace pellavin::idle
