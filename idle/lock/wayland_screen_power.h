#pragma once

#include "runtime/screen/wayland/connection.h"

#include <cstdint>
#include <functional>
#include <list>

struct wl_output;
struct org_kde_kwin_dpms_manager;
struct org_kde_kwin_dpms;

namespace pellavin::idle {

// The outputs' power as KWin tells it (org_kde_kwin_dpms): KDE Plasma's
// energy saving turns the screens off through it and says so to nobody on
// the bus. An output that can be off and is off is the desktop's blank.
// Compositors without it blank nothing that can be known this way.
class WaylandScreenPower {
public:
    explicit WaylandScreenPower(screen::WaylandConnection& wayland);
    ~WaylandScreenPower();
    WaylandScreenPower(const WaylandScreenPower&) = delete;
    WaylandScreenPower& operator=(const WaylandScreenPower&) = delete;

    // Runs when some output goes off, and when none is off any more.
    std::function<void(bool off)> on_change;

    struct Output {
        WaylandScreenPower* power;
        uint32_t global;
        wl_output* output = nullptr;
        org_kde_kwin_dpms* dpms = nullptr;
        bool supported = false;
        uint32_t mode = 0;
    };
    // Called by the protocol's listener, once an output's state is told whole.
    void told();

private:
    void added(const screen::WaylandConnection::Global& global);
    void removed(uint32_t global);

    screen::WaylandConnection& wayland_;
    org_kde_kwin_dpms_manager* manager_ = nullptr;
    std::list<Output> outputs_;
    bool off_ = false;
};

}  // namespace pellavin::idle
