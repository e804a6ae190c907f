#pragma once

#include <string>

struct sd_bus;

namespace pellavin::idle {

// One connection to a message bus, which every part of the watcher that
// speaks there shares: the session bus (GNOME's idle monitor, the session
// manager, the screen savers, the watcher's own service) or the system bus
// (logind). The loop waits on it and handles what came, for all of them.
class BusConnection {
public:
    enum class Kind { Session, System };

    explicit BusConnection(Kind kind);
    ~BusConnection();
    BusConnection(const BusConnection&) = delete;
    BusConnection& operator=(const BusConnection&) = delete;

    // Null when there is no such bus, or no more.
    sd_bus* get() const { return bus_; }
    // Why there is none, or why it went.
    const std::string& problem() const { return problem_; }
    // The connection's own name on the bus (":1.42"); empty without one.
    std::string unique_name() const;

    // For the loop's poll(): -1, 0 and -1 without a bus.
    int fd() const;
    short events() const;
    int timeout_ms() const;
    // Handles everything that has come, for every part; false when the bus
    // has just gone (or refused this process), and from then on a bus that
    // is not there.
    bool process();

private:
    sd_bus* bus_ = nullptr;
    std::string problem_;
};

}  // namespace pellavin::idle
