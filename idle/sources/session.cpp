#include "idle/sources/session.h"

#include "common/window_system.h"
#include "idle/bus/bus_call.h"
#include "idle/sources/gnome_idle.h"
#include "idle/sources/wayland_idle.h"
#include "idle/sources/x11_idle.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace pellavin::idle {
namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Host and display number: ":1" and ":1.0" are one session.
std::string x11_display_key(const std::string& name)
{
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(name.c_str(), &host, &display, nullptr) == 0) return name;
    std::string key = std::string(host) + ":" + std::to_string(display);
    std::free(host);
    return key;
}

// The display server's own idle time, else GNOME's idle monitor, else the
// display server's complaint, with the monitor's when it is there but of
// no use.
template <typename Source> std::unique_ptr<SessionIdleSource> idle_source_of(Source make, const BusContext& bus)
{
    try {
        return make();
    } catch (const NoIdleTime& missing) {
        try {
            return std::make_unique<GnomeIdleSource>(bus);
        } catch (const GnomeIdleSource::NotOffered&) {
            throw missing;
        } catch (const SessionError& error) {
            throw SessionError(std::string(missing.what()) + "; " + error.what());
        }
    }
}

}  // namespace

Session connect_session(const BusContext& bus)
{
    Session session;
    std::string stale;  // why the compositor of WAYLAND_DISPLAY did not answer
    const auto wayland = [&] {
        try {
            session.idle = idle_source_of([] { return std::make_unique<WaylandIdleSource>(); }, bus);
            return true;
        } catch (const NoServer& gone) {
            stale = gone.what();
            return false;
        }
    };
    std::string unreachable;
    const auto x11 = [&] {
        try {
            session.idle = idle_source_of([&session] {
                auto source = std::make_unique<X11IdleSource>();
                if (!source->can_see_suspensions()) {
                    session.note = "this X server lists no client resources (no X-Resource extension): a program "
                                   "that suspends the screensaver cannot hold the game off";
                }
                return source;
            }, bus);
            return true;
        } catch (const NoServer& gone) {
            unreachable = gone.what();
            return false;
        }
    };
    switch (choose_window_system(wayland, x11).system) {
    case WindowSystem::wayland: return session;
    case WindowSystem::x11:
        if (!stale.empty()) {
            session.note = stale + ": watching the X server of DISPLAY instead"
                + (session.note.empty() ? "" : "; " + session.note);
        }
        return session;
    case WindowSystem::none: break;
    }
    if (stale.empty() && unreachable.empty())
        throw SessionError("no graphical session: neither WAYLAND_DISPLAY nor DISPLAY is set");
    throw NoServer(!unreachable.empty() ? unreachable : stale);
}

std::vector<std::string> session_keys()
{
    std::vector<std::string> keys;
    if (const std::string wayland = environment("WAYLAND_DISPLAY"); !wayland.empty()) keys.push_back("wayland-" + wayland);
    if (const std::string x11 = environment("DISPLAY"); !x11.empty()) keys.push_back("x11-" + x11_display_key(x11));
    for (std::string& key : keys) std::replace(key.begin(), key.end(), '/', '_');  // the key names a file
    return keys;
}

}  // namespace pellavin::idle
