#pragma once

#include "runtime/core/form.h"
#include "runtime/core/shape.h"
#include "runtime/screen/device_pixels.h"
#include "runtime/screen/geometry.h"

#include <unordered_map>
#include <vector>

namespace pellavin::screen {

class Canvas;

// A colour of the form as the screen shows it; `window_color` stands for
// the system's dialog colour.
Rgb rgb_of(runtime::Color value, Rgb window_color);

// One shape, as it fills `rect` of the canvas.
void draw_shape(Canvas& canvas, const runtime::Shape& shape, const Rect& rect, Rgb window_color);

// The shapes of a form as they stand on its window, in device pixels: what
// each last covered, what a change has left to redraw, and the drawing of
// any part of the window onto a canvas.
class ShapeScene {
public:
    ShapeScene(const runtime::Form& form, DevicePixels pixels);

    const DevicePixels& pixels() const { return pixels_; }
    // A new scale (the window moved to another screen): every place is
    // taken again. Returns whether anything changed.
    bool set_pixels(const DevicePixels& pixels);

    const std::vector<const runtime::Shape*>& shapes() const { return shapes_; }
    const runtime::Form& form() const { return form_; }

    // Where a shape covers now; empty while it is hidden.
    Rect place_of(const runtime::Shape& shape) const;

    // Notes a change of the shape; returns the device pixels to redraw: its
    // old and its new place.
    Region shape_changed(const runtime::Shape& shape);

    // Draws the back colour over `device_region`, then every shape that
    // meets it, in creation order.
    void draw(Canvas& canvas, const Region& device_region, Rgb window_color) const;

private:
    const runtime::Form& form_;
    DevicePixels pixels_;
    std::vector<const runtime::Shape*> shapes_;
    std::unordered_map<const runtime::Shape*, Rect> placed_;
};

}  // namespace pellavin::screen
