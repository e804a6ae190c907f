#include "idle/sources/wayland_idle.h"

#include "idle/sources/session.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace pellavin::idle {
namespace {

WaylandIdleSource& source_of(void* data) { return *static_cast<WaylandIdleSource*>(data); }

// The compositor restarts a notification's count itself on input, after
// resumed.
const ext_idle_notification_v1_listener kNotificationListener = {
    [](void* data, ext_idle_notification_v1*) { source_of(data).idled(); },
    [](void* data, ext_idle_notification_v1*) { source_of(data).resumed(); },
};

const org_kde_kwin_idle_timeout_listener kKdeTimeoutListener = {
    [](void* data, org_kde_kwin_idle_timeout*) { source_of(data).idled(); },
    [](void* data, org_kde_kwin_idle_timeout*) { source_of(data).resumed(); },
};

// A notification that is idle at once, so that its resumed is the next input.
constexpr uint32_t kNextInput = 1;

}  // namespace

WaylandIdleSource::WaylandIdleSource()
{
    if (!wayland_.connected()) throw NoServer("Wayland session: " + wayland_.problem());
    const std::string& name = wayland_.name();
    fd_ = wayland_.fd();
    seat_ = wayland_.bind<wl_seat>(wl_seat_interface, 1);
    notifier_ = wayland_.bind<ext_idle_notifier_v1>(ext_idle_notifier_v1_interface, 1);
    kde_idle_ = wayland_.bind<org_kde_kwin_idle>(org_kde_kwin_idle_interface, 1);
    if (!seat_ || (!notifier_ && !kde_idle_)) {
        disconnect();
        throw NoIdleTime("Wayland session: the compositor \"" + name
            + "\" offers no idle notification (neither ext-idle-notify-v1 nor org_kde_kwin_idle)");
    }
    power_.emplace(wayland_);
    power_->on_change = [this](bool off) {
        if (on_blanked) on_blanked(off);
    };
}

WaylandIdleSource::~WaylandIdleSource() { disconnect(); }

// The proxies go before the connection does.
void WaylandIdleSource::disconnect()
{
    if (!wayland_.connected()) return;
    power_.reset();
    stop();
    if (notifier_) ext_idle_notifier_v1_destroy(notifier_);
    if (kde_idle_) org_kde_kwin_idle_destroy(kde_idle_);
    if (seat_) wl_seat_destroy(seat_);
    notifier_ = nullptr;
    kde_idle_ = nullptr;
    seat_ = nullptr;
}

const char* WaylandIdleSource::protocol() const
{
    return notifier_ ? ext_idle_notifier_v1_interface.name : org_kde_kwin_idle_interface.name;
}

void WaylandIdleSource::watch(Milliseconds delay, Count count)
{
    delay_ = static_cast<uint32_t>(std::clamp<int64_t>(delay.count(), 0, std::numeric_limits<uint32_t>::max()));
    awaiting_input_ = count == Count::AfterInput;
    notify_after(awaiting_input_ ? kNextInput : delay_);
}

void WaylandIdleSource::notify_after(uint32_t timeout)
{
    stop();
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
    if (!awaiting_input_ && on_idle) on_idle();
}

void WaylandIdleSource::resumed()
{
    if (!awaiting_input_) return;
    awaiting_input_ = false;
    notify_after(delay_);
}

void WaylandIdleSource::flush() { wayland_.flush(); }

bool WaylandIdleSource::dispatch() { return wayland_.dispatch(); }

}  // namespace pellavin::idle
