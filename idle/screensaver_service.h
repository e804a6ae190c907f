#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

struct sd_bus;
struct sd_bus_message;
struct sd_bus_track;

namespace pellavin::idle {

// org.freedesktop.ScreenSaver on the session bus, where players and
// presentation programs ask that the screensaver be held off: Inhibit gives
// a cookie, UnInhibit with it ends the hold, and so does the caller leaving
// the bus. The name is taken only when nobody holds it, and given up to a
// program that takes it over; a program that owns it already keeps it.
class ScreenSaverService {
public:
    using Say = std::function<void(const std::string& line)>;

    explicit ScreenSaverService(Say say);
    ~ScreenSaverService();
    ScreenSaverService(const ScreenSaverService&) = delete;
    ScreenSaverService& operator=(const ScreenSaverService&) = delete;

    // -1 when not on the bus.
    int fd() const;
    // What to wait for on fd(), as poll() events, and for how long at most
    // (-1: no limit).
    short events() const;
    int timeout_ms() const;
    void process();

    // Runs when the first hold begins and when the last one ends.
    std::function<void(bool held)> on_held;

    // The bus's handlers.
    int inhibit(sd_bus_message* call);
    int uninhibit(sd_bus_message* call);
    void caller_left(sd_bus_track* track);
    void name_lost();

private:
    struct Caller {
        sd_bus_track* track = nullptr;
        int holds = 0;
    };

    void release(uint32_t cookie);
    void set_holds(size_t count);
    void leave_bus(const std::string& why);

    Say say_;
    sd_bus* bus_ = nullptr;
    std::map<std::string, Caller> callers_;     // by unique bus name
    std::map<uint32_t, std::string> cookies_;   // to the caller that holds it
    uint32_t next_cookie_ = 1;
    bool held_ = false;
    bool lost_ = false;  // another program took the name
};

}  // namespace pellavin::idle
