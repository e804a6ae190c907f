#pragma once

#include "idle/bus/bus_call.h"
#include "idle/desktops/desktops.h"

#include <functional>
#include <string>

namespace pellavin::idle {

// The session's desktop, and whether it brings its own
// org.freedesktop.ScreenSaver (gsd-screensaver-proxy on GNOME, ksmserver or
// KWin on KDE Plasma, csd-screensaver-proxy on Cinnamon, light-locker or
// xscreensaver-systemd on Xfce, xscreensaver-systemd beside xscreensaver
// anywhere). They ask for the name at their start and after each restart,
// and some of them never take it from a program that has it, so the
// watcher must know such a session before their service is there: from
// XDG_CURRENT_DESKTOP, from a desktop's own names on the session bus, and
// from xscreensaver on the X server.
class SessionDesktop {
public:
    explicit SessionDesktop(const BusContext& context);
    SessionDesktop(const SessionDesktop&) = delete;
    SessionDesktop& operator=(const SessionDesktop&) = delete;

    // The desktop's own programs serve the name.
    bool present() const { return desktop_->serves_screensaver_name; }
    const Desktop& desktop() const { return *desktop_; }
    std::string which() const { return desktop_->which; }
    // Runs once, when one shows itself only after the watcher started.
    std::function<void()> on_came;

    // Called by the bus's handler, and by the watcher when xscreensaver
    // runs on the X server.
    void came(const Desktop& desktop);

private:
    BusContext context_;
    BusSlots slots_;
    const Desktop* desktop_;
};

}  // namespace pellavin::idle
