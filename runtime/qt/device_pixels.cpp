#include "runtime/qt/device_pixels.h"

#include <cmath>

namespace pellavin::qt_backend {
namespace {

// Rounds half up, the same way on both sides of zero, so that a shape keeps
// its size in pixels wherever it stands, off the screen's left edge too.
int round_edge(double pixels) { return static_cast<int>(std::floor(pixels + 0.5)); }

// The ratio may be fractional (1.25, 1.5): a position that is whole in one
// unit may come out a hair off it in the other, which must not cost a pixel.
constexpr double kWholeTolerance = 1e-9;
int floor_of(double value) { return static_cast<int>(std::floor(value + kWholeTolerance)); }
int ceil_of(double value) { return static_cast<int>(std::ceil(value - kWholeTolerance)); }

}  // namespace

DevicePixels::DevicePixels(double twips_per_logical_pixel, double device_pixel_ratio)
    : ratio_(device_pixel_ratio)
    , twips_per_device_pixel_(twips_per_logical_pixel / device_pixel_ratio)
{
}

int DevicePixels::edge(double twips) const { return round_edge(twips / twips_per_device_pixel_); }

QRect DevicePixels::rect(const runtime::Bounds& bounds) const
{
    // Each edge is formed in double from the single-precision twips.
    const double left = bounds.left;
    const double top = bounds.top;
    const int x0 = edge(left);
    const int y0 = edge(top);
    const int x1 = edge(left + bounds.width);
    const int y1 = edge(top + bounds.height);
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
}

QRect DevicePixels::to_logical(const QRect& device) const
{
    if (device.isEmpty()) return {};
    const int x0 = floor_of(device.left() / ratio_);
    const int y0 = floor_of(device.top() / ratio_);
    const int x1 = ceil_of((device.right() + 1) / ratio_);
    const int y1 = ceil_of((device.bottom() + 1) / ratio_);
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
}

QRegion DevicePixels::to_logical(const QRegion& device) const
{
    QRegion logical;
    for (const QRect& rect : device) logical += to_logical(rect);
    return logical;
}

QRect DevicePixels::to_device(const QRect& logical) const
{
    if (logical.isEmpty()) return {};
    const int x0 = floor_of(logical.left() * ratio_);
    const int y0 = floor_of(logical.top() * ratio_);
    const int x1 = ceil_of((logical.right() + 1) * ratio_);
    const int y1 = ceil_of((logical.bottom() + 1) * ratio_);
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
}

QRegion DevicePixels::to_device(const QRegion& logical) const
{
    QRegion device;
    for (const QRect& rect : logical) device += to_device(rect);
    return device;
}

}  // namespace pellavin::qt_backend
