#pragma once

#include "idle/rules/idle_source.h"
#include "idle/lock/wayland_screen_power.h"
#include "runtime/screen/wayland/connection.h"

#include <optional>

struct wl_seat;
struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;

namespace pellavin::idle {

// The compositor's idle notifications: ext-idle-notify-v1, or the older
// org_kde_kwin_idle where that is all it offers. The compositor counts a
// delay from the notification's creation and keeps its idle inhibitors'
// holds itself; it tells no client when the last input was, so here a delay
// counts from the watch() at the earliest, or from the next input (a first
// notification that is idle at once, whose resumed is that input). Outputs
// that KWin's screen power says are off are reported as on_blanked.
class WaylandIdleSource final : public SessionIdleSource {
public:
    // Connects to the compositor that WAYLAND_DISPLAY names; throws
    // SessionError when it cannot be reached or offers neither protocol.
    WaylandIdleSource();
    ~WaylandIdleSource() override;
    WaylandIdleSource(const WaylandIdleSource&) = delete;
    WaylandIdleSource& operator=(const WaylandIdleSource&) = delete;

    void watch(Milliseconds delay, Count count) override;
    void stop() override;
    void flush() override;
    bool dispatch() override;

    // The protocol's name, for messages.
    const char* protocol() const;

    // Called by the protocol listeners.
    void idled();
    void resumed();

private:
    void notify_after(uint32_t timeout);
    void disconnect();

    screen::WaylandConnection wayland_;
    wl_seat* seat_ = nullptr;
    ext_idle_notifier_v1* notifier_ = nullptr;
    org_kde_kwin_idle* kde_idle_ = nullptr;
    ext_idle_notification_v1* notification_ = nullptr;
    org_kde_kwin_idle_timeout* kde_timeout_ = nullptr;
    uint32_t delay_ = 0;
    bool awaiting_input_ = false;
    std::optional<WaylandScreenPower> power_;
};

}  // namespace pellavin::idle
