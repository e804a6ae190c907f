#pragma once

#include "idle/bus/bus_call.h"
#include "idle/holds/hold_keeper.h"
#include "idle/lock/desktop_notice.h"
#include "idle/lock/locker_state.h"
#include "idle/desktops/session_desktop.h"
#include "idle/holds/hold_hand_over.h"
#include "idle/rules/idle_rules.h"
#include "idle/rules/idle_source.h"
#include "idle/lock/logind_session.h"
#include "idle/holds/silent_keeper_calls.h"
#include "idle/holds/watcher_screensaver.h"

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
    SilentKeeperCalls& calls() { return calls_; }

private:
    void follow_calls();

    BusContext session_bus_;
    std::list<HoldKeeper> keepers_;
    HoldHandOver hand_over_;
    WatcherScreenSaver service_;
    SilentKeeperCalls calls_;
    SessionDesktop session_desktop_;
    std::list<LockerState> lockers_;
    DesktopNotice notice_;
    LogindSession logind_;
};

}  // namespace pellavin::idle
