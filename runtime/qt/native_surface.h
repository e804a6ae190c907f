#pragma once

#include <QColor>
#include <QRegion>

namespace pellavin::qt_backend {

class ShapeScene;

// Where a game window's shapes go when the window system itself can draw
// them, past Qt's full-window image: the X server's own requests, or
// Wayland surfaces of the shapes' own. Regions are in device pixels.
class NativeSurface {
public:
    virtual ~NativeSurface() = default;

    // The colour shown where nothing has been drawn.
    virtual void set_background(const QColor& color) = 0;

    // Brings `device_region` up to date with the scene and shows it whole:
    // a frame is never seen half drawn.
    virtual void redraw(const ShapeScene& scene, const QRegion& device_region, const QColor& window_color) = 0;
};

}  // namespace pellavin::qt_backend
