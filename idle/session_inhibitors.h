#pragma once

#include "idle/bus_call.h"

#include <functional>
#include <string>

namespace pellavin::idle {

// GNOME's inhibitors: players and presentations hold the screensaver off
// through the session manager (Inhibit with the idle flag, directly or
// through the desktop portal). Where org.gnome.SessionManager is on the
// session bus, the watcher asks it IsInhibited(idle) when it starts, when
// it comes, whenever an inhibitor is added or removed, and before each
// game. Every question is sent without waiting: a session manager that
// does not answer is said once and asked again until it does, and what
// was last known stands meanwhile.
class SessionInhibitors {
public:
    explicit SessionInhibitors(const BusContext& context);
    SessionInhibitors(const SessionInhibitors&) = delete;
    SessionInhibitors& operator=(const SessionInhibitors&) = delete;

    // Runs when idleness becomes inhibited and when it is no longer.
    std::function<void(bool inhibited)> on_inhibited;

    // Runs `start` at once where there is no session manager, else once it
    // has said that nothing inhibits idleness (or has not answered, and
    // nothing was known to); never while something does.
    void before_start(std::function<void()> start);

    // Called by the bus's handlers.
    void ask();
    void owner_changed(const std::string& owner);

private:
    bool read_answer(sd_bus_message* reply);
    void set_inhibited(bool inhibited);

    BusContext context_;
    BusSlots slots_;
    BusQuestion is_inhibited_;
    bool present_ = false;
    bool inhibited_ = false;
};

}  // namespace pellavin::idle
