#pragma once

#include "runtime/qt/canvas.h"
#include "runtime/qt/native_surface.h"

#include <cstdint>
#include <memory>

class QWidget;
struct xcb_connection_t;

namespace pellavin::qt_backend {

// Draws straight onto an X window with the server's own fill and arc
// requests: no image of the window is kept or sent, so a moving shape costs
// a few small requests, and the server clears exposed areas itself to the
// window's background colour.
class X11Canvas final : public Canvas, public NativeSurface {
public:
    // Nothing when the application is not on an X server.
    static std::unique_ptr<X11Canvas> create(QWidget& window);
    ~X11Canvas() override;
    X11Canvas(const X11Canvas&) = delete;
    X11Canvas& operator=(const X11Canvas&) = delete;

    // The colour the server paints where nothing has been drawn yet.
    void set_background(const QColor& color) override;
    void redraw(const ShapeScene& scene, const QRegion& device_region, const QColor& window_color) override;

    void fill(const QRect& rect, const QColor& color) override;
    void draw_rectangle(const QRect& rect, const std::optional<QColor>& fill, const QColor& border) override;
    void draw_circle(const QRect& rect, const std::optional<QColor>& fill, const QColor& border) override;

    // Sends what has been drawn.
    void flush();

private:
    struct PixelFormat {
        uint32_t red_mask;
        uint32_t green_mask;
        uint32_t blue_mask;
    };

    X11Canvas(xcb_connection_t* connection, uint32_t window, PixelFormat format);
    uint32_t pixel(const QColor& color) const;
    void use_color(const QColor& color);

    xcb_connection_t* connection_;
    uint32_t window_;
    uint32_t gc_;
    PixelFormat format_;
    uint32_t foreground_ = 0;
};

}  // namespace pellavin::qt_backend
