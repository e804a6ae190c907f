#include "idle/lock/wayland_screen_power.h"

#include "dpms-client-protocol.h"

#include <algorithm>
#include <cstring>

namespace pellavin::idle {
namespace {

using Output = WaylandScreenPower::Output;

Output& output_of(void* data) { return *static_cast<Output*>(data); }

const org_kde_kwin_dpms_listener kDpmsListener = {
    [](void* data, org_kde_kwin_dpms*, uint32_t supported) { output_of(data).supported = supported != 0; },
    [](void* data, org_kde_kwin_dpms*, uint32_t mode) { output_of(data).mode = mode; },
    [](void* data, org_kde_kwin_dpms*) { output_of(data).power->told(); },
};

}  // namespace

WaylandScreenPower::WaylandScreenPower(screen::WaylandConnection& wayland)
    : wayland_(wayland)
    , manager_(wayland.bind<org_kde_kwin_dpms_manager>(org_kde_kwin_dpms_manager_interface, 1))
{
    if (!manager_) return;
    for (const auto& global : wayland_.globals()) added(global);
    wayland_.on_global_added = [this](const auto& global) { added(global); };
    wayland_.on_global_removed = [this](uint32_t global) { removed(global); };
}

WaylandScreenPower::~WaylandScreenPower()
{
    while (!outputs_.empty()) removed(outputs_.front().global);
    if (manager_) org_kde_kwin_dpms_manager_destroy(manager_);
}

void WaylandScreenPower::added(const screen::WaylandConnection::Global& global)
{
    if (global.interface != wl_output_interface.name) return;
    Output& output = outputs_.emplace_back(Output{this, global.name});
    output.output = static_cast<wl_output*>(wayland_.bind(global, wl_output_interface, 1));
    output.dpms = org_kde_kwin_dpms_manager_get(manager_, output.output);
    org_kde_kwin_dpms_add_listener(output.dpms, &kDpmsListener, &output);
}

void WaylandScreenPower::removed(uint32_t global)
{
    const auto output = std::find_if(outputs_.begin(), outputs_.end(), [global](const Output& o) { return o.global == global; });
    if (output == outputs_.end()) return;
    org_kde_kwin_dpms_release(output->dpms);
    wl_output_destroy(output->output);
    outputs_.erase(output);
    told();
}

void WaylandScreenPower::told()
{
    const bool off = std::any_of(outputs_.begin(), outputs_.end(),
        [](const Output& o) { return o.supported && o.mode != ORG_KDE_KWIN_DPMS_MODE_ON; });
    if (off == off_) return;
    off_ = off;
    if (on_change) on_change(off);
}

}  // namespace pellavin::idle
