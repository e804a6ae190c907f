#pragma once

#include "idle/bus/bus_call.h"

#include <functional>
#include <optional>
#include <string>

namespace pellavin::idle {

// The session as logind keeps it on the system bus: LockedHint, which
// lockers set while the screen is locked, is the lock's state; Lock and
// Unlock are only what logind asks of the session's locker (loginctl
// lock-session), which may or may not come, and may or may not say so; as
// the machine goes to sleep the lockers lock too (xss-lock,
// xscreensaver-systemd), and PrepareForSleep comes as a Lock would. The
// session is the one XDG_SESSION_ID names, else the one the watcher runs
// in; without a system bus, logind or such a session there is nothing to
// follow, and nothing is said.
class LogindSession {
public:
    explicit LogindSession(const BusContext& context);
    LogindSession(const LogindSession&) = delete;
    LogindSession& operator=(const LogindSession&) = delete;

    // Runs when LockedHint turns true and when it turns false.
    std::function<void(bool locked)> on_locked;
    // Runs at each Lock (true) and Unlock (false) logind sends, and as the
    // machine is about to sleep (true): the lockers lock then, as they do
    // at a Lock.
    std::function<void(bool lock)> on_lock_asked;

    // Called by the bus's handlers.
    void found(const std::string& session_path);
    void ask_locked_hint();
    void set_locked(bool locked);
    void lock_asked(bool lock);

private:
    BusContext context_;
    BusSlots slots_;
    BusQuestion get_session_;
    std::string path_;  // the session's object, once found
    std::optional<BusQuestion> get_locked_hint_;
    bool locked_ = false;
};

}  // namespace pellavin::idle
