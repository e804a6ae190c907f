#include "idle/wayland_idle.h"

#include "idle/session.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace pellavin::idle {
namespace {

WaylandIdleSource& source_of(void* data) { return *static_cast<WaylandIdleSource*>(data); }

const wl_registry_listener kRegistryListener = {
    [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
        source_of(data).bind(registry, name, interface);
    },
    [](void*, wl_registry*, uint32_t) {},
};

// The compositor restarts a notification's count itself on input, after
// resumed: nothing to do then.
const ext_idle_notification_v1_listener kNotificationListener = {
    [](void* data, ext_idle_notification_v1*) { source_of(data).idled(); },
    [](void*, ext_idle_notification_v1*) {},
};

const org_kde_kwin_idle_timeout_listener kKdeTimeoutListener = {
    [](void* data, org_kde_kwin_idle_timeout*) { source_of(data).idled(); },
    [](void*, org_kde_kwin_idle_timeout*) {},
};

}  // namespace

WaylandIdleSource::WaylandIdleSource()
{
    const char* socket = std::getenv("WAYLAND_DISPLAY");
    const std::string name = socket ? socket : "";
    display_ = wl_display_connect(nullptr);
    if (!display_) throw SessionError("Wayland session: cannot connect to the compositor \"" + name + "\"");
    fd_ = wl_display_get_fd(display_);
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    wl_display_roundtrip(display_);
    if (!seat_ || (!notifier_ && !kde_idle_)) {
        disconnect();
        throw NoIdleTime("Wayland session: the compositor \"" + name
            + "\" offers no idle notification (neither ext-idle-notify-v1 nor org_kde_kwin_idle)");
    }
}

WaylandIdleSource::~WaylandIdleSource() { disconnect(); }

void WaylandIdleSource::disconnect()
{
    if (!display_) return;
    stop();
    if (notifier_) ext_idle_notifier_v1_destroy(notifier_);
    if (kde_idle_) org_kde_kwin_idle_destroy(kde_idle_);
    if (seat_) wl_seat_destroy(seat_);
    if (registry_) wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
    display_ = nullptr;
}

void WaylandIdleSource::bind(wl_registry* registry, uint32_t name, const char* interface)
{
    if (!seat_ && std::strcmp(interface, wl_seat_interface.name) == 0) {
        seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (!notifier_ && std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
        notifier_ = static_cast<ext_idle_notifier_v1*>(wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    } else if (!kde_idle_ && std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
        kde_idle_ = static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
    }
}

const char* WaylandIdleSource::protocol() const
{
    return notifier_ ? ext_idle_notifier_v1_interface.name : org_kde_kwin_idle_interface.name;
}

void WaylandIdleSource::watch(Milliseconds delay, Count)
{
    stop();
    const auto timeout = static_cast<uint32_t>(
        std::clamp<int64_t>(delay.count(), 0, std::numeric_limits<uint32_t>::max()));
    if (notifier_) {
        notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, timeout, seat_);
        ext_idle_notification_v1_add_listener(notification_, &kNotificationListener, this);
    } else {
        kde_timeout_ = org_kde_kwin_idle_get_idle_timeout(kde_idle_, seat_, timeout);
        org_kde_kwin_idle_timeout_add_listener(kde_timeout_, &kKdeTimeoutListener, this);
    }
}

void WaylandIdleSource::stop()
{
    if (notification_) ext_idle_notification_v1_destroy(notification_);
    if (kde_timeout_) org_kde_kwin_idle_timeout_release(kde_timeout_);
    notification_ = nullptr;
    kde_timeout_ = nullptr;
}

void WaylandIdleSource::idled()
{
    if (on_idle) on_idle();
}

void WaylandIdleSource::flush()
{
    wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
}

bool WaylandIdleSource::dispatch() { return wl_display_dispatch(display_) >= 0; }

}  // namespace pellavin::idle
