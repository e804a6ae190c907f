#include "runtime/screen/fitted_screen.h"

#include <algorithm>

namespace pellavin::screen {

FittedScreen fit_to_design(float width_twips, float height_twips, const DevicePixels& pixels,
    const runtime::Bounds& design)
{
    const double factor = std::max({1.0, design.width / static_cast<double>(width_twips),
        design.height / static_cast<double>(height_twips)});
    const double ratio = pixels.device_pixel_ratio();
    return {static_cast<float>(width_twips * factor), static_cast<float>(height_twips * factor),
        DevicePixels(pixels.twips_per_device_pixel() * ratio * factor, ratio)};
}

}  // namespace pellavin::screen
