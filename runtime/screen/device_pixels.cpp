#include "runtime/screen/device_pixels.h"

#include <cmath>

namespace pellavin::screen {
namespace {

// Rounds half up, the same way on both sides of zero, so that a shape keeps
// its size in pixels wherever it stands, off the screen's left edge too.
int round_edge(double pixels) { return static_cast<int>(std::floor(pixels + 0.5)); }

// The ratio may be fractional (1.25, 1.5): a position that is whole in one
// unit may come out a hair off it in the other, which must not cost a pixel.
constexpr double kWholeTolerance = 1e-9;
int floor_of(double value) { return static_cast<int>(std::floor(value + kWholeTolerance)); }
int ceil_of(double value) { return static_cast<int>(std::ceil(value - kWholeTolerance)); }

Rect from_edges(int x0, int y0, int x1, int y1) { return {x0, y0, x1 - x0, y1 - y0}; }

}  // namespace

DevicePixels::DevicePixels(double twips_per_logical_pixel, double device_pixel_ratio)
    : ratio_(device_pixel_ratio)
    , twips_per_device_pixel_(twips_per_logical_pixel / device_pixel_ratio)
{
}

int DevicePixels::edge(double twips) const { return round_edge(twips / twips_per_device_pixel_); }

Rect DevicePixels::rect(const runtime::Bounds& bounds) const
{
    // Each edge is formed in double from the single-precision twips.
    const double left = bounds.left;
    const double top = bounds.top;
    return from_edges(edge(left), edge(top), edge(left + bounds.width), edge(top + bounds.height));
}

Rect DevicePixels::to_logical(const Rect& device) const
{
    if (device.empty()) return {};
    return from_edges(floor_of(device.x / ratio_), floor_of(device.y / ratio_), ceil_of(device.right() / ratio_),
        ceil_of(device.bottom() / ratio_));
}

Region DevicePixels::to_logical(const Region& device) const
{
    Region logical;
    for (const Rect& rect : device) logical.add(to_logical(rect));
    return logical;
}

Rect DevicePixels::to_device(const Rect& logical) const
{
    if (logical.empty()) return {};
    return from_edges(floor_of(logical.x * ratio_), floor_of(logical.y * ratio_), ceil_of(logical.right() * ratio_),
        ceil_of(logical.bottom() * ratio_));
}

Region DevicePixels::to_device(const Region& logical) const
{
    Region device;
    for (const Rect& rect : logical) device.add(to_device(rect));
    return device;
}

}  // namespace pellavin::screen
