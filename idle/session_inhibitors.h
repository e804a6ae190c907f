#pragma once

#include "idle/idle_source.h"

#include <functional>
#include <string>

struct sd_bus;

namespace pellavin::idle {

// GNOME's inhibitors: players and presentations hold the screensaver off
// through the session manager (Inhibit with the idle flag, directly or
// through the desktop portal). Where org.gnome.SessionManager is on the
// session bus, the watcher asks it IsInhibited(idle) when it starts, when
// it comes, whenever an inhibitor is added or removed, and before each
// game. Every question is sent without waiting: a session manager that
// does not answer is said once, and what was last known stands.
class SessionInhibitors {
public:
    using Say = std::function<void(const std::string& line)>;

    SessionInhibitors(Say say, Milliseconds timeout);
    ~SessionInhibitors();
    SessionInhibitors(const SessionInhibitors&) = delete;
    SessionInhibitors& operator=(const SessionInhibitors&) = delete;

    // -1 when not on the bus; as ScreenSaverService's.
    int fd() const;
    short events() const;
    int timeout_ms() const;
    void process();

    // Runs when idleness becomes inhibited and when it is no longer.
    std::function<void(bool inhibited)> on_inhibited;

    // Runs `start` at once where there is no session manager, else once it
    // has said that nothing inhibits idleness; never while something does.
    void before_start(std::function<void()> start);

    // Called by the bus's handlers.
    void ask(std::function<void()> then = {});
    void owner_changed(const std::string& owner);

private:
    void set_inhibited(bool inhibited);

    Say say_;
    Milliseconds timeout_;
    sd_bus* bus_ = nullptr;
    bool present_ = true;  // until it proves not to be
    bool inhibited_ = false;
    std::string said_;  // the last problem said, so it is said once
};

}  // namespace pellavin::idle
