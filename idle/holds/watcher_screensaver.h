#pragma once

#include "idle/bus/bus_call.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

struct sd_bus_track;

namespace pellavin::idle {

// The watcher's own org.freedesktop.ScreenSaver on the session bus, for
// players, presentations, xdg-screensaver and desktop scripts, on
// /ScreenSaver and /org/freedesktop/ScreenSaver:
// - Inhibit gives a cookie nobody can guess, and only the connection that
//   got it ends its hold with UnInhibit (or by leaving the bus); a
//   connection has at most kMostHolds holds at once;
// - GetActive, SetActive and ActiveChanged are the watcher's game;
//   GetActiveTime and GetSessionIdleTime answer in seconds;
//   SimulateUserActivity counts as input; Lock is not supported, as
//   Pellavin locks nothing.
// The name belongs to the desktop where it has a service of its own
// (SessionDesktop): there the watcher never asks for it. Elsewhere it asks
// once, without waiting in the name's queue, serves while it owns it, and
// lets it go to a program that takes it over, or to the desktop's own
// service that shows itself later.
class WatcherScreenSaver {
public:
    static constexpr size_t kMostHolds = 32;

    explicit WatcherScreenSaver(const BusContext& context);
    // Asks for the name, where nobody has it.
    void offer();
    // Lets the name go, with the holds it keeps: a desktop's own service
    // wants it.
    void give_way();
    ~WatcherScreenSaver();
    WatcherScreenSaver(const WatcherScreenSaver&) = delete;
    WatcherScreenSaver& operator=(const WatcherScreenSaver&) = delete;

    // What the service asks of the watcher.
    struct Game {
        std::function<bool()> shows;
        std::function<bool()> start;
        std::function<void()> end;
        std::function<void()> user_active;
        std::function<void(std::function<void(std::optional<Milliseconds>)>)> idle_time;
    };
    Game game;
    // Runs when the first hold begins and when the last one ends.
    std::function<void(bool held)> on_held;
    // Each hold as it begins, and as it ends (by UnInhibit, its caller
    // leaving, or the name going to another program).
    std::function<void(uint32_t cookie, const std::string& application, const std::string& why)> on_hold;
    std::function<void(uint32_t cookie)> on_release;

    // The game has started or ended: ActiveChanged, while the name is ours.
    void game_shows(bool shows);
    bool owns_name() const { return owned_; }

    // The bus's handlers.
    int inhibit(sd_bus_message* call, sd_bus_error* error);
    int uninhibit(sd_bus_message* call);
    int get_active(sd_bus_message* call);
    int set_active(sd_bus_message* call);
    int get_active_time(sd_bus_message* call);
    int get_session_idle_time(sd_bus_message* call);
    int simulate_user_activity(sd_bus_message* call);
    void caller_left(sd_bus_track* track);
    void name_lost();

private:
    struct Caller {
        sd_bus_track* track = nullptr;
        size_t holds = 0;
    };
    using Clock = std::chrono::steady_clock;

    uint32_t new_cookie() const;
    void release(uint32_t cookie);
    void forget_callers();
    void set_holds(size_t count);

    BusContext context_;
    BusSlots slots_;
    bool ready_ = false;  // its objects are on the bus
    bool owned_ = false;
    std::map<std::string, Caller> callers_;    // by unique bus name
    std::map<uint32_t, std::string> cookies_;  // to the caller that holds it
    bool held_ = false;
    std::optional<Clock::time_point> shown_since_;
};

}  // namespace pellavin::idle
