#include "runtime/qt/x11_canvas.h"

#include "runtime/qt/shape_scene.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <bit>

namespace pellavin::qt_backend {
namespace {

constexpr int16_t kFullCircle = 360 * 64;  // X measures arcs in 64ths of a degree

// The masks of the window's visual, which say where red, green and blue
// go in a pixel value.
std::optional<std::tuple<uint32_t, uint32_t, uint32_t>> visual_masks(xcb_connection_t* connection, xcb_window_t window)
{
    xcb_get_window_attributes_reply_t* attributes
        = xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr);
    if (attributes == nullptr) return std::nullopt;
    const xcb_visualid_t visual = attributes->visual;
    free(attributes);
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem; xcb_screen_next(&screens)) {
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem; xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
                const xcb_visualtype_t* type = visuals.data;
                if (type->visual_id == visual && type->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
                    return std::make_tuple(type->red_mask, type->green_mask, type->blue_mask);
                }
            }
        }
    }
    return std::nullopt;
}

// An 8-bit channel placed under its mask.
uint32_t place(int channel, uint32_t mask)
{
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    return ((static_cast<uint32_t>(channel) >> (8 - bits)) << shift) & mask;
}

xcb_rectangle_t rectangle_of(const QRect& rect)
{
    return {static_cast<int16_t>(rect.x()), static_cast<int16_t>(rect.y()), static_cast<uint16_t>(rect.width()),
        static_cast<uint16_t>(rect.height())};
}

}  // namespace

std::unique_ptr<X11Canvas> X11Canvas::create(QWidget& window)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) return nullptr;
    xcb_connection_t* connection = x11->connection();
    const auto window_id = static_cast<xcb_window_t>(window.winId());
    const auto masks = visual_masks(connection, window_id);
    if (!masks) return nullptr;  // not a true-colour window: leave it to Qt
    const auto [red, green, blue] = *masks;
    return std::unique_ptr<X11Canvas>(new X11Canvas(connection, window_id, {red, green, blue}));
}

X11Canvas::X11Canvas(xcb_connection_t* connection, uint32_t window, PixelFormat format)
    : connection_(connection)
    , window_(window)
    , gc_(xcb_generate_id(connection))
    , format_(format)
{
    const uint32_t values[] = {foreground_, 0};
    xcb_create_gc(connection_, gc_, window_, XCB_GC_FOREGROUND | XCB_GC_GRAPHICS_EXPOSURES, values);
}

X11Canvas::~X11Canvas()
{
    xcb_free_gc(connection_, gc_);
    xcb_flush(connection_);
}

uint32_t X11Canvas::pixel(const QColor& color) const
{
    return place(color.red(), format_.red_mask) | place(color.green(), format_.green_mask)
        | place(color.blue(), format_.blue_mask);
}

void X11Canvas::use_color(const QColor& color)
{
    const uint32_t value = pixel(color);
    if (value == foreground_) return;
    foreground_ = value;
    xcb_change_gc(connection_, gc_, XCB_GC_FOREGROUND, &foreground_);
}

void X11Canvas::set_background(const QColor& color)
{
    const uint32_t value = pixel(color);
    xcb_change_window_attributes(connection_, window_, XCB_CW_BACK_PIXEL, &value);
}

void X11Canvas::fill(const QRect& rect, const QColor& color)
{
    use_color(color);
    const xcb_rectangle_t area = rectangle_of(rect);
    xcb_poly_fill_rectangle(connection_, window_, gc_, 1, &area);
}

void X11Canvas::draw_rectangle(const QRect& rect, const std::optional<QColor>& fill_color, const QColor& border)
{
    if (fill_color) fill(rect, *fill_color);
    use_color(border);
    const xcb_rectangle_t outline = rectangle_of(rect.adjusted(0, 0, -1, -1));
    xcb_poly_rectangle(connection_, window_, gc_, 1, &outline);
}

void X11Canvas::draw_circle(const QRect& rect, const std::optional<QColor>& fill_color, const QColor& border)
{
    const QRect inside = rect.adjusted(0, 0, -1, -1);
    const xcb_arc_t arc = {static_cast<int16_t>(inside.x()), static_cast<int16_t>(inside.y()),
        static_cast<uint16_t>(inside.width()), static_cast<uint16_t>(inside.height()), 0, kFullCircle};
    if (fill_color) {
        use_color(*fill_color);
        xcb_poly_fill_arc(connection_, window_, gc_, 1, &arc);
    }
    use_color(border);
    xcb_poly_arc(connection_, window_, gc_, 1, &arc);
}

void X11Canvas::redraw(const ShapeScene& scene, const QRegion& device_region, const QColor& window_color)
{
    scene.draw(*this, device_region, window_color);
    flush();
}

void X11Canvas::flush() { xcb_flush(connection_); }

}  // namespace pellavin::qt_backend
