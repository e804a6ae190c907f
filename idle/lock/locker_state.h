#pragma once

#include "idle/bus/bus_call.h"

#include <functional>
#include <string>

namespace pellavin::idle {

// A screen saver or locker of the desktop on the session bus, followed for
// whether it has blanked or locked the screen: one of the lockers of the
// desktop table (idle/desktops/desktops.h), which all answer GetActive and say
// ActiveChanged on an interface of their own. Asked GetActive whenever a
// program takes the name (never starting one that is not there), and told
// ActiveChanged from then on. A name nobody owns is a screen that has not
// blanked.
class LockerState {
public:
    struct Names {
        const char* name;
        const char* path;
        const char* interface;
    };

    // The name owned by `self` (the watcher's own service) is not followed.
    LockerState(const BusContext& context, Names names, std::string self = "");
    LockerState(const LockerState&) = delete;
    LockerState& operator=(const LockerState&) = delete;

    // Runs when it becomes active and when it is no longer.
    std::function<void(bool active)> on_active;

    // Called by the bus's handlers.
    void owner_changed(const std::string& owner);
    void active_changed(bool active, const char* sender);

private:
    void set_active(bool active);

    BusContext context_;
    BusSlots slots_;
    Names names_;
    std::string self_;
    BusQuestion get_active_;
    std::string owner_;  // followed: neither nobody nor the watcher
    bool active_ = false;
};

}  // namespace pellavin::idle
