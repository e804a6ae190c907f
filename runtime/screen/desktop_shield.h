#pragma once

#include "runtime/screen/bus_wire.h"
#include "runtime/screen/event_loop.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pellavin::screen {

// GNOME Shell's screen shield, which its compositor hides the game behind
// while still sending it frames: only the session bus tells it is up. The
// game rests while it is. A client of the game's own speaks to the bus, on
// one non-blocking socket its loop waits on, so that no bus library is
// mapped for it; it wakes the loop only when the bus has something for it.
// It asks the shield once GNOME Shell holds its name (at the start, and
// whenever a shell takes the name), and follows its ActiveChanged from
// then on. No bus, or a bus that goes, leaves it quietly at not active.
class DesktopShield final : public Watched {
public:
    // On the bus DBUS_SESSION_BUS_ADDRESS names.
    DesktopShield();
    explicit DesktopShield(std::string_view bus_address);
    ~DesktopShield();
    DesktopShield(const DesktopShield&) = delete;
    DesktopShield& operator=(const DesktopShield&) = delete;

    // -1 when there is no bus, or it has gone.
    int fd() const override { return fd_; }
    // POLLIN, and POLLOUT while a message waits to go.
    short events() const override;
    // fd() was ready: takes what has come, and sends what waits.
    void dispatch() override;

    bool active() const { return active_; }
    // Runs when the shield comes up, and when it goes.
    std::function<void(bool active)> on_change;

private:
    uint32_t call(const bus::MethodCall& call);
    void ask_shield();
    bool receive();
    bool take_input();
    void handle(const bus::Message& message);
    bool send_pending();
    void end();
    void set_active(bool active);

    int fd_ = -1;
    std::string in_;
    std::string out_;
    bool authenticated_ = false;
    uint32_t last_serial_ = 0;
    uint32_t asked_serial_ = 0;  // 0: no answer awaited
    std::string owner_;          // the shell's unique name on the bus
    bool active_ = false;
};

}  // namespace pellavin::screen
