#pragma once

#include "runtime/screen/event_loop.h"

#include <functional>
#include <string>
#include <string_view>

struct sd_bus;
struct sd_bus_slot;

namespace pellavin::screen {

// GNOME Shell's screen shield, which its compositor hides the game behind
// while still sending it frames: only the session bus tells it is up. The
// game rests while it is. The bus library is mapped only when the game
// makes its shield, once its first frame is out, so that the game's start
// pays nothing for it; the loop waits on the bus's one socket, which wakes
// it only when the bus has something for it. It asks the shield once GNOME
// Shell holds its name (at the start, and whenever a shell takes the name),
// and follows its ActiveChanged from then on. No bus, no bus library, or a
// bus that goes leaves it quietly at not active.
class DesktopShield final : public Watched {
public:
    // On the bus DBUS_SESSION_BUS_ADDRESS names.
    DesktopShield();
    explicit DesktopShield(std::string_view bus_address);
    ~DesktopShield();
    DesktopShield(const DesktopShield&) = delete;
    DesktopShield& operator=(const DesktopShield&) = delete;

    // -1 when there is no bus, or it has gone.
    int fd() const override;
    short events() const override;
    // Takes what has come, at most kMostMessages a turn: a flood on the bus
    // must not hold the game's loop, which comes back for the rest at once.
    void dispatch() override;
    bool more_to_do() const override { return more_; }

    bool active() const { return active_; }
    // Runs when the shield comes up, and when it goes.
    std::function<void(bool active)> on_change;

    static constexpr int kMostMessages = 32;

private:
    friend struct ShieldCalls;  // what the bus calls back
    void ask_shield();
    void end();
    void set_active(bool active);

    sd_bus* bus_ = nullptr;
    sd_bus_slot* asking_ = nullptr;  // the question awaiting its answer
    std::string owner_;              // the shell's unique name on the bus
    bool more_ = false;
    bool active_ = false;
};

}  // namespace pellavin::screen
