#pragma once

#include "idle/bus_call.h"
#include "idle/desktop_inhibitors.h"
#include "idle/desktop_notice.h"
#include "idle/desktop_screensaver.h"
#include "idle/desktop_service.h"
#include "idle/hold_hand_over.h"
#include "idle/idle_rules.h"
#include "idle/idle_source.h"
#include "idle/logind_session.h"
#include "idle/screensaver_calls.h"
#include "idle/screensaver_service.h"

#include <list>

namespace pellavin::idle {

// The watcher's parts on the buses, each wired to the rules as it is made,
// for every row of the desktop table at once: who holds the game off, who
// says that the desktop has blanked or locked the screen, the screensaver
// name where it is the watcher's to serve (and its holds handed on), and
// what the user is told.
class BusParts {
public:
    BusParts(const BusContext& session_bus, const BusContext& system_bus, SessionIdleSource& idle, IdleRules& rules);
    BusParts(const BusParts&) = delete;
    BusParts& operator=(const BusParts&) = delete;

    // The holds read off the calls to another program's screensaver name,
    // for the loop to wait on.
    ScreenSaverCalls& calls() { return calls_; }

private:
    void follow_calls();

    BusContext session_bus_;
    std::list<DesktopInhibitors> keepers_;
    HoldHandOver hand_over_;
    ScreenSaverService service_;
    ScreenSaverCalls calls_;
    DesktopService desktop_service_;
    std::list<DesktopScreenSaver> lockers_;
    DesktopNotice notice_;
    LogindSession logind_;
};

}  // namespace pellavin::idle
