#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>

struct sd_bus;
struct sd_bus_message;

namespace pellavin::idle {

// The holds that players hand to another program's
// org.freedesktop.ScreenSaver where that program keeps them to itself
// (xscreensaver-systemd, light-locker): no question, no signal. They are
// read off the calls that reach it, on a connection of their own that only
// watches (a user's own programs may watch that user's session bus). A hold
// begins with the answer to an Inhibit, the cookie, and ends with the
// caller's UnInhibit of that cookie, the caller leaving the bus, or the
// name changing hands. Holds taken before the watching began are not seen.
// At most kMost calls and holds are kept, so that a flood of calls costs
// nothing but the wake-ups.
class SilentKeeperCalls {
public:
    static constexpr size_t kMost = 256;

    SilentKeeperCalls() = default;
    ~SilentKeeperCalls();
    SilentKeeperCalls(const SilentKeeperCalls&) = delete;
    SilentKeeperCalls& operator=(const SilentKeeperCalls&) = delete;

    // Begins watching, once; the reason it cannot (empty when it can).
    std::string start();
    bool started() const { return bus_ != nullptr; }
    // The bus has said yes: from now on no call is missed.
    bool watching() const { return watching_; }
    // Runs when the first hold begins and when the last one ends.
    std::function<void(bool held)> on_held;

    // For the loop's poll(): -1, 0 and -1 when not watching.
    int fd() const;
    short events() const;
    int timeout_ms() const;
    // Reads what has come; false when the watching has failed or the bus
    // has gone (then it holds nothing off any more).
    bool process();

private:
    using Call = std::pair<std::string, uint64_t>;  // the caller and its call's serial
    using Hold = std::pair<std::string, uint32_t>;  // the caller and its cookie

    void seen(sd_bus_message* message);
    void stop();
    void set_holds();

    sd_bus* bus_ = nullptr;
    uint64_t asked_ = 0;  // the serial of the call that asked to watch
    bool watching_ = false;
    std::set<Call> inhibits_;  // not yet answered
    std::set<Hold> holds_;
    bool held_ = false;
};

}  // namespace pellavin::idle
