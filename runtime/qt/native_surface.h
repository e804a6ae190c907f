#pragma once

#include "runtime/screen/geometry.h"

namespace pellavin::screen {
class ShapeScene;
}

namespace pellavin::qt_backend {

// Where a game window's shapes go when the window system itself can draw
// them, past Qt's full-window image: Wayland surfaces of the shapes' own.
// Regions are in device pixels.
class NativeSurface {
public:
    virtual ~NativeSurface() = default;

    // Brings `device_region` up to date with the scene and shows it whole:
    // a frame is never seen half drawn.
    virtual void redraw(const screen::ShapeScene& scene, const screen::Region& device_region, screen::Rgb window_color) = 0;
};

}  // namespace pellavin::qt_backend
