#pragma once

#include "runtime/core/control.h"

#include <QRect>
#include <QRegion>

namespace pellavin::qt_backend {

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
    QRect rect(const runtime::Bounds& bounds) const;

    // The logical pixels a window system update needs to cover these device
    // pixels, and back: both round outwards.
    QRect to_logical(const QRect& device) const;
    QRegion to_logical(const QRegion& device) const;
    QRect to_device(const QRect& logical) const;
    QRegion to_device(const QRegion& logical) const;

    bool operator==(const DevicePixels&) const = default;

private:
    double ratio_;
    double twips_per_device_pixel_;
};

}  // namespace pellavin::qt_backend
