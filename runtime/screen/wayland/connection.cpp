#include "runtime/screen/wayland/connection.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <poll.h>

namespace pellavin::screen {
namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

const wl_registry_listener kRegistryListener = {
    [](void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
        static_cast<WaylandConnection*>(data)->added(name, interface, version);
    },
    [](void* data, wl_registry*, uint32_t name) { static_cast<WaylandConnection*>(data)->removed(name); },
};

}  // namespace

WaylandConnection::WaylandConnection()
    : name_(environment("WAYLAND_DISPLAY"))
{
    // libwayland would try "wayland-0" without the variable: a session
    // that names no compositor has none.
    if (name_.empty()) {
        problem_ = "WAYLAND_DISPLAY is not set";
        return;
    }
    if (!name_.starts_with('/') && environment("XDG_RUNTIME_DIR").empty()) {
        problem_ = "WAYLAND_DISPLAY \"" + name_ + "\" is set, but XDG_RUNTIME_DIR is not";
        return;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        problem_ = "no Wayland compositor answers at WAYLAND_DISPLAY \"" + name_ + "\"";
        return;
    }
    display_ = display;
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    if (wl_display_roundtrip(display_) < 0) {
        problem_ = "the Wayland compositor \"" + name_ + "\" broke the connection off";
        wl_registry_destroy(registry_);
        wl_display_disconnect(display_);
        display_ = nullptr;
        return;
    }
    read_ = true;
}

WaylandConnection::~WaylandConnection()
{
    if (display_ == nullptr) return;
    wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void WaylandConnection::added(uint32_t name, const char* interface, uint32_t version)
{
    globals_.push_back({name, interface, version});
    if (read_ && on_global_added) on_global_added(globals_.back());
}

void WaylandConnection::removed(uint32_t name)
{
    std::erase_if(globals_, [name](const Global& global) { return global.name == name; });
    if (read_ && on_global_removed) on_global_removed(name);
}

void* WaylandConnection::bind(const wl_interface& interface, uint32_t version, uint32_t least) const
{
    for (const Global& global : globals_) {
        if (global.interface == interface.name && global.version >= least) return bind(global, interface, version);
    }
    return nullptr;
}

void* WaylandConnection::bind(const Global& global, const wl_interface& interface, uint32_t version) const
{
    return wl_registry_bind(registry_, global.name, &interface, std::min(version, global.version));
}

void WaylandConnection::flush()
{
    // Events that round trips have queued are handled before the wait.
    wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
}

bool WaylandConnection::dispatch()
{
    if (wl_display_prepare_read(display_) == 0) {
        pollfd readable{fd(), POLLIN, 0};
        if (poll(&readable, 1, 0) > 0) {
            // At the hang-up this fails, and the display keeps why.
            wl_display_read_events(display_);
        } else {
            wl_display_cancel_read(display_);
        }
    }
    return wl_display_dispatch_pending(display_) >= 0 && !gone();
}

std::string WaylandConnection::why_gone() const
{
    const wl_interface* interface = nullptr;
    uint32_t object = 0;
    const int error = wl_display_get_error(display_);
    if (error != EPROTO) return "the Wayland compositor has gone";
    const uint32_t code = wl_display_get_protocol_error(display_, &interface, &object);
    return "the Wayland compositor broke the connection off (error " + std::to_string(code) + " of "
        + (interface != nullptr ? interface->name : "an object") + ")";
}

}  // namespace pellavin::screen
