#pragma once

#include "idle/bus_call.h"
#include "idle/desktop_inhibitors.h"
#include "idle/desktop_notice.h"
#include "idle/desktop_screensaver.h"
#include "idle/desktop_service.h"
#include "idle/idle_rules.h"
#include "idle/idle_source.h"
#include "idle/logind_session.h"
#include "idle/screensaver_service.h"

namespace pellavin::idle {

// The watcher's parts on the buses, each wired to the rules as it is made:
// who holds the game off, who says that the desktop has blanked or locked
// the screen, the screensaver name where it is the watcher's to serve, and
// what the user is told.
class BusParts {
public:
    BusParts(const BusContext& session_bus, const BusContext& system_bus, SessionIdleSource& idle, IdleRules& rules);
    BusParts(const BusParts&) = delete;
    BusParts& operator=(const BusParts&) = delete;

    // What the parts on the session bus last said holds nothing off once
    // that bus has gone.
    static void forget_session_bus(IdleRules& rules);

private:
    DesktopInhibitors gnome_holds_;
    DesktopInhibitors plasma_holds_;
    ScreenSaverService service_;
    DesktopService desktop_service_;
    DesktopScreenSaver gnome_shell_;
    DesktopScreenSaver gnome_screensaver_;
    DesktopScreenSaver desktop_locker_;
    DesktopNotice notice_;
    LogindSession logind_;
};

}  // namespace pellavin::idle
