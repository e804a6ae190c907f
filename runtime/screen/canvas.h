#pragma once

#include "runtime/screen/geometry.h"

#include <optional>

namespace pellavin::screen {

// Where a window draws its back colour and shapes, in device pixels.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void fill(const Rect& rect, Rgb color) = 0;
    virtual void fill(const Region& region, Rgb color)
    {
        for (const Rect& rect : region) fill(rect, color);
    }
    // A rectangle or a circle filling `rect` (nothing when `fill` is empty),
    // with a one-pixel `border` inside it.
    virtual void draw_rectangle(const Rect& rect, std::optional<Rgb> fill, Rgb border) = 0;
    virtual void draw_circle(const Rect& rect, std::optional<Rgb> fill, Rgb border) = 0;
};

}  // namespace pellavin::screen
