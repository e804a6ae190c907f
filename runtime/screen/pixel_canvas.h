#pragma once

#include "runtime/screen/canvas.h"

#include <cstdint>

namespace pellavin::screen {

// Draws into 32-bit pixels in memory, 0xAARRGGBB with the colour
// premultiplied, as the Wayland compositors take them: what a shape
// leaves undrawn stays as it was. Shapes look as the X server draws them:
// a one-pixel border on the outermost pixels of the figure.
class PixelCanvas final : public Canvas {
public:
    // `pixels` holds `width` x `height` pixels, row after row.
    PixelCanvas(uint32_t* pixels, int width, int height);

    void fill(const Rect& rect, Rgb color) override;
    void draw_rectangle(const Rect& rect, std::optional<Rgb> fill, Rgb border) override;
    void draw_circle(const Rect& rect, std::optional<Rgb> fill, Rgb border) override;

    static uint32_t opaque(Rgb color);

private:
    void put(int x, int y, uint32_t value);

    uint32_t* pixels_;
    int width_;
    int height_;
};

}  // namespace pellavin::screen
