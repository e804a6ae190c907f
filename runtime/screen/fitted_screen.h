#pragma once

#include "runtime/core/control.h"
#include "runtime/screen/device_pixels.h"

namespace pellavin::screen {

// The screen a form plays on in a window that may be smaller than the form
// was designed for, such as a screensaver framework's preview: at least the
// form's designed client area, the window's own size scaled up uniformly
// until both fit. The device pixels carry the same factor, so the whole
// scene shows in the window, smaller and in its proportions. A window that
// holds the design keeps its size and its pixels.
struct FittedScreen {
    float width_twips;
    float height_twips;
    DevicePixels pixels;
};

FittedScreen fit_to_design(float width_twips, float height_twips, const DevicePixels& pixels,
    const runtime::Bounds& design);

}  // namespace pellavin::screen
