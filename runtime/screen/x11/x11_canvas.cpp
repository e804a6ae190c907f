#include "runtime/screen/x11/x11_canvas.h"

#include "runtime/screen/shape_scene.h"

#include <bit>
#include <vector>

namespace pellavin::screen {
namespace {

constexpr int16_t kFullCircle = 360 * 64;  // X measures arcs in 64ths of a degree

// An 8-bit channel placed under its mask.
uint32_t place(int channel, uint32_t mask)
{
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const uint32_t value = bits >= 8 ? static_cast<uint32_t>(channel) << (bits - 8)
                                     : static_cast<uint32_t>(channel) >> (8 - bits);
    return (value << shift) & mask;
}

xcb_rectangle_t rectangle_of(const Rect& rect)
{
    return {static_cast<int16_t>(rect.x), static_cast<int16_t>(rect.y), static_cast<uint16_t>(rect.width),
        static_cast<uint16_t>(rect.height)};
}

}  // namespace

uint32_t PixelFormat::pixel(Rgb color) const
{
    return place(color.red, red_mask) | place(color.green, green_mask) | place(color.blue, blue_mask);
}

X11Canvas::Pen::Pen(xcb_connection_t* connection, xcb_window_t window)
    : connection(connection)
    , gc(xcb_generate_id(connection))
{
    const uint32_t values[] = {foreground, 0};
    xcb_create_gc(connection, gc, window, XCB_GC_FOREGROUND | XCB_GC_GRAPHICS_EXPOSURES, values);
}

X11Canvas::Pen::~Pen() { xcb_free_gc(connection, gc); }

xcb_gcontext_t X11Canvas::Pen::in(uint32_t pixel)
{
    if (pixel != foreground) {
        foreground = pixel;
        xcb_change_gc(connection, gc, XCB_GC_FOREGROUND, &foreground);
    }
    return gc;
}

X11Canvas::X11Canvas(xcb_connection_t* connection, xcb_window_t window, PixelFormat format)
    : connection_(connection)
    , window_(window)
    , format_(format)
    , background_pen_(connection, window)
    , shape_pen_(connection, window)
{
}

void X11Canvas::fill(const Rect& rect, Rgb color)
{
    const xcb_rectangle_t area = rectangle_of(rect);
    xcb_poly_fill_rectangle(connection_, window_, shape_pen_.in(format_.pixel(color)), 1, &area);
}

void X11Canvas::fill(const Region& region, Rgb color)
{
    if (region.empty()) return;
    std::vector<xcb_rectangle_t> areas;
    areas.reserve(region.rects().size());
    for (const Rect& rect : region) areas.push_back(rectangle_of(rect));
    xcb_poly_fill_rectangle(connection_, window_, background_pen_.in(format_.pixel(color)),
        static_cast<uint32_t>(areas.size()), areas.data());
}

void X11Canvas::draw_rectangle(const Rect& rect, std::optional<Rgb> fill_color, Rgb border)
{
    if (fill_color) fill(rect, *fill_color);
    if (fill_color == border) return;  // the fill has drawn the outline's pixels already
    const xcb_rectangle_t outline = rectangle_of({rect.x, rect.y, rect.width - 1, rect.height - 1});
    xcb_poly_rectangle(connection_, window_, shape_pen_.in(format_.pixel(border)), 1, &outline);
}

void X11Canvas::draw_circle(const Rect& rect, std::optional<Rgb> fill_color, Rgb border)
{
    const xcb_arc_t arc = {static_cast<int16_t>(rect.x), static_cast<int16_t>(rect.y),
        static_cast<uint16_t>(rect.width - 1), static_cast<uint16_t>(rect.height - 1), 0, kFullCircle};
    if (fill_color) xcb_poly_fill_arc(connection_, window_, shape_pen_.in(format_.pixel(*fill_color)), 1, &arc);
    // The outline reaches pixels the fill does not, whatever their colours.
    xcb_poly_arc(connection_, window_, shape_pen_.in(format_.pixel(border)), 1, &arc);
}

void X11Canvas::redraw(const ShapeScene& scene, const Region& device_region, Rgb window_color)
{
    scene.draw(*this, device_region, window_color);
    xcb_flush(connection_);
}

}  // namespace pellavin::screen
