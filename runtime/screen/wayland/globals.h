#pragma once

#include "runtime/screen/wayland/connection.h"

#include <string>

struct wp_viewporter;
struct xdg_wm_base;

namespace pellavin::screen {

// What the game needs of a compositor, bound once: surfaces and their
// children, shared memory, the viewporter (a buffer shown at another size,
// or cropped) and the shell's full-screen windows.
struct WaylandGlobals {
    wl_compositor* compositor = nullptr;
    wl_subcompositor* subcompositor = nullptr;
    wl_shm* shm = nullptr;
    wp_viewporter* viewporter = nullptr;
    xdg_wm_base* shell = nullptr;

    // Binds them all; `missing` names the first that the compositor lacks.
    explicit WaylandGlobals(const WaylandConnection& wayland);
    ~WaylandGlobals();
    WaylandGlobals(const WaylandGlobals&) = delete;
    WaylandGlobals& operator=(const WaylandGlobals&) = delete;

    std::string missing;
};

}  // namespace pellavin::screen
