#include "common/window_system.h"

#include <wayland-client.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

namespace pellavin {
namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool wayland_reachable()
{
    // A relative name lies in the runtime directory; without one the
    // library would complain on stderr before failing.
    if (environment("WAYLAND_DISPLAY").front() != '/' && environment("XDG_RUNTIME_DIR").empty()) return false;
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return false;
    wl_display_disconnect(display);
    return true;
}

bool x11_reachable()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reached = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reached;
}

}  // namespace

WindowSystemChoice choose_window_system(const std::function<bool()>& wayland_answers,
                                        const std::function<bool()>& x11_answers)
{
    WindowSystemChoice choice;
    if (wayland_answers) {
        const runtime::DisplayTried wayland{"WAYLAND_DISPLAY", environment("WAYLAND_DISPLAY")};
        if (!wayland.value.empty() && wayland_answers()) {
            choice.system = WindowSystem::wayland;
            return choice;
        }
        choice.tried.push_back(wayland);
    }
    const runtime::DisplayTried x11{"DISPLAY", environment("DISPLAY")};
    if (!x11.value.empty() && x11_answers()) {
        choice.system = WindowSystem::x11;
        if (!choice.tried.empty() && choice.tried.front().value.empty()) choice.tried.clear();
        return choice;
    }
    choice.tried.push_back(x11);
    return choice;
}

WindowSystemChoice probe_window_system() { return choose_window_system(wayland_reachable, x11_reachable); }

}  // namespace pellavin
