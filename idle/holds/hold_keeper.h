#pragma once

#include "idle/bus/bus_call.h"

#include <functional>
#include <optional>
#include <string>

namespace pellavin::idle {

// Where a desktop keeps the holds of players and presentations (Inhibit,
// directly, through the desktop portal, or through the desktop's own
// org.freedesktop.ScreenSaver): the keepers of the desktop table
// (idle/desktops/desktops.h). Where its service is on the session bus, the watcher asks
// whether anything holds the screen on when it starts, when the service
// comes, whenever a hold is added or removed, and before each game. Every
// question is sent without waiting: a service that does not answer is said
// once and asked again until it does, and what was last known stands
// meanwhile.
class HoldKeeper {
public:
    struct Service {
        const char* name;
        const char* path;
        const char* interface;
        const char* question;  // answers whether anything holds the screen on
        std::optional<uint32_t> flags;  // those of a hold on idleness, or on the screen, where it takes them
        const char* changed[2];  // the signals of a hold added or removed
    };

    HoldKeeper(const BusContext& context, const Service& service);
    HoldKeeper(const HoldKeeper&) = delete;
    HoldKeeper& operator=(const HoldKeeper&) = delete;

    // Runs when something comes to hold the screen on, and when nothing does.
    std::function<void(bool inhibited)> on_inhibited;

    // Runs `start` at once where there is no such service, else once it
    // has said that nothing holds the screen on (or has not answered, and
    // nothing was known to); never while something does.
    void before_start(std::function<void()> start);

    // Called by the bus's handlers.
    void ask();
    void owner_changed(const std::string& owner);

private:
    bool read_answer(sd_bus_message* reply);
    void set_inhibited(bool inhibited);
    int append_flags(sd_bus_message* call) const;

    BusContext context_;
    const Service& service_;
    BusSlots slots_;
    BusQuestion question_;
    bool present_ = false;
    bool inhibited_ = false;
};

}  // namespace pellavin::idle
