#include "runtime/qt/display_check.h"

#include "runtime/core/no_display.h"

#include <wayland-client.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>

namespace pellavin::qt_backend {
namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool wayland_reachable(const std::string& name)
{
    // A relative name lies in the runtime directory; without one the
    // library would complain on stderr before failing.
    if (name.front() != '/' && environment("XDG_RUNTIME_DIR").empty()) return false;
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

void require_display(const std::string& program_name)
{
    if (!environment("QT_QPA_PLATFORM").empty()) return;
    const runtime::DisplayTried wayland{"WAYLAND_DISPLAY", environment("WAYLAND_DISPLAY")};
    const runtime::DisplayTried x11{"DISPLAY", environment("DISPLAY")};
    const bool on_wayland = !wayland.value.empty() && wayland_reachable(wayland.value);
    const bool on_x11 = !x11.value.empty() && x11_reachable();
    if (on_wayland && !on_x11) setenv("QT_QPA_PLATFORM", "wayland", 1);
    if (on_wayland || on_x11) return;
    std::fprintf(stderr, "%s: %s\n", program_name.c_str(), runtime::no_display_line({wayland, x11}).c_str());
    std::exit(1);
}

}  // namespace pellavin::qt_backend
