#include "runtime/screen/pixel_canvas.h"

#include <algorithm>

namespace pellavin::screen {
namespace {

constexpr uint32_t kOpaque = 0xFF000000;

// Whether the centre of pixel (x, y) of `rect`'s own pixels lies in the
// ellipse that fills it.
bool in_ellipse(const Rect& rect, int x, int y)
{
    if (x < 0 || y < 0 || x >= rect.width || y >= rect.height) return false;
    const double a = rect.width / 2.0;
    const double b = rect.height / 2.0;
    const double dx = (x + 0.5 - a) / a;
    const double dy = (y + 0.5 - b) / b;
    return dx * dx + dy * dy <= 1.0;
}

}  // namespace

PixelCanvas::PixelCanvas(uint32_t* pixels, int width, int height)
    : pixels_(pixels)
    , width_(width)
    , height_(height)
{
}

uint32_t PixelCanvas::opaque(Rgb color)
{
    return kOpaque | uint32_t{color.red} << 16 | uint32_t{color.green} << 8 | uint32_t{color.blue};
}

void PixelCanvas::put(int x, int y, uint32_t value)
{
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[static_cast<size_t>(y) * width_ + x] = value;
}

void PixelCanvas::fill(const Rect& rect, Rgb color)
{
    const Rect area = rect.intersected({0, 0, width_, height_});
    const uint32_t value = opaque(color);
    for (int y = area.y; y < area.bottom(); ++y) {
        std::fill_n(pixels_ + static_cast<size_t>(y) * width_ + area.x, area.width, value);
    }
}

void PixelCanvas::draw_rectangle(const Rect& rect, std::optional<Rgb> fill_color, Rgb border)
{
    if (rect.empty()) return;
    if (fill_color) fill(rect, *fill_color);
    fill({rect.x, rect.y, rect.width, 1}, border);
    fill({rect.x, rect.bottom() - 1, rect.width, 1}, border);
    fill({rect.x, rect.y, 1, rect.height}, border);
    fill({rect.right() - 1, rect.y, 1, rect.height}, border);
}

// The figure's pixels are those whose centres lie in the ellipse; its
// border those of them next to one that does not.
void PixelCanvas::draw_circle(const Rect& rect, std::optional<Rgb> fill_color, Rgb border)
{
    const uint32_t inside = fill_color ? opaque(*fill_color) : 0;
    const uint32_t edge = opaque(border);
    for (int y = 0; y < rect.height; ++y) {
        for (int x = 0; x < rect.width; ++x) {
            if (!in_ellipse(rect, x, y)) continue;
            const bool on_border = !in_ellipse(rect, x - 1, y) || !in_ellipse(rect, x + 1, y)
                || !in_ellipse(rect, x, y - 1) || !in_ellipse(rect, x, y + 1);
            if (on_border || fill_color) put(rect.x + x, rect.y + y, on_border ? edge : inside);
        }
    }
}

}  // namespace pellavin::screen
