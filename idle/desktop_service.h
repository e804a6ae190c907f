#pragma once

#include "idle/bus_call.h"

#include <functional>
#include <string>

namespace pellavin::idle {

// Whether the session's desktop brings its own org.freedesktop.ScreenSaver:
// gnome-settings-daemon's gsd-screensaver-proxy on GNOME, ksmserver (X11)
// or KWin (Wayland) on KDE Plasma, xscreensaver-systemd beside xscreensaver.
// They ask for the name at their start and after each restart, and none of
// them takes it from a program that has it, so the watcher must know such a
// session before their service is there: from XDG_CURRENT_DESKTOP, from the
// desktop's own names on the session bus (GNOME's proxy, KDE's session
// manager, xscreensaver's), and from xscreensaver on the X server.
class DesktopService {
public:
    explicit DesktopService(const BusContext& context);
    DesktopService(const DesktopService&) = delete;
    DesktopService& operator=(const DesktopService&) = delete;

    bool present() const { return !which_.empty(); }
    // Which desktop's, for messages.
    const std::string& which() const { return which_; }
    // Runs once, when one shows itself only after the watcher started.
    std::function<void()> on_came;

    // Called by the bus's handler, and by the watcher when xscreensaver
    // runs on the X server.
    void came(const std::string& which);

private:
    BusContext context_;
    BusSlots slots_;
    std::string which_;
};

}  // namespace pellavin::idle
