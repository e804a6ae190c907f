#include "runtime/screen/wayland/globals.h"

#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace pellavin::screen {
namespace {

constexpr uint32_t kCompositorVersion = 4;  // damage in buffer pixels

const xdg_wm_base_listener kShellListener = {
    [](void*, xdg_wm_base* shell, uint32_t serial) { xdg_wm_base_pong(shell, serial); },
};

}  // namespace

WaylandGlobals::WaylandGlobals(const WaylandConnection& wayland)
    : compositor(wayland.bind<wl_compositor>(wl_compositor_interface, kCompositorVersion, kCompositorVersion))
    , subcompositor(wayland.bind<wl_subcompositor>(wl_subcompositor_interface, 1))
    , shm(wayland.bind<wl_shm>(wl_shm_interface, 1))
    , viewporter(wayland.bind<wp_viewporter>(wp_viewporter_interface, 1))
    , shell(wayland.bind<xdg_wm_base>(xdg_wm_base_interface, 1))
{
    if (shell != nullptr) xdg_wm_base_add_listener(shell, &kShellListener, nullptr);
    const std::pair<const void*, const char*> wanted[] = {{compositor, "wl_compositor 4"},
        {subcompositor, wl_subcompositor_interface.name}, {shm, wl_shm_interface.name},
        {viewporter, wp_viewporter_interface.name}, {shell, xdg_wm_base_interface.name}};
    for (const auto& [bound, name] : wanted) {
        if (bound == nullptr && missing.empty()) missing = name;
    }
}

WaylandGlobals::~WaylandGlobals()
{
    if (shell != nullptr) xdg_wm_base_destroy(shell);
    if (viewporter != nullptr) wp_viewporter_destroy(viewporter);
    if (shm != nullptr) wl_shm_destroy(shm);
    if (subcompositor != nullptr) wl_subcompositor_destroy(subcompositor);
    if (compositor != nullptr) wl_compositor_destroy(compositor);
}

}  // namespace pellavin::screen
