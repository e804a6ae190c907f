#pragma once

#include "runtime/core/control.h"
#include "runtime/screen/geometry.h"

namespace pellavin::screen {

// Where twips land on a window's device pixels. One device pixel is
// 1440 / (logical DPI x device pixel ratio) twips. A shape covers the pixels
// from its rounded left (top) edge to its rounded right (bottom) edge: each
// edge is rounded, not the size, so shapes whose edges meet in twips meet on
// the screen at every scale, and a paddle that ends on the screen's last
// twip ends on its last row.
class DevicePixels {
public:
    DevicePixels(double twips_per_logical_pixel, double device_pixel_ratio);

    double device_pixel_ratio() const { return ratio_; }
    double twips_per_device_pixel() const { return twips_per_device_pixel_; }

    int edge(double twips) const;
    Rect rect(const runtime::Bounds& bounds) const;

    // The logical pixels a window system update needs to cover these device
    // pixels, and back: both round outwards.
    Rect to_logical(const Rect& device) const;
    Region to_logical(const Region& device) const;
    Rect to_device(const Rect& logical) const;
    Region to_device(const Region& logical) const;

    bool operator==(const DevicePixels&) const = default;

private:
    double ratio_;
    double twips_per_device_pixel_;
};

}  // namespace pellavin::screen
