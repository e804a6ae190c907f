#pragma once

#include "runtime/screen/canvas.h"

#include <xcb/xcb.h>

#include <cstdint>

namespace pellavin::screen {

class ShapeScene;

// Where red, green and blue go in a pixel value of a true-colour visual.
struct PixelFormat {
    uint32_t red_mask = 0;
    uint32_t green_mask = 0;
    uint32_t blue_mask = 0;

    uint32_t pixel(Rgb color) const;
};

// Draws straight onto an X window with the server's own fill and arc
// requests: no image of the window is kept or sent, so a moving shape costs
// a few small requests, and the server clears exposed areas itself to the
// window's background colour.
class X11Canvas final : public Canvas {
public:
    X11Canvas(xcb_connection_t* connection, xcb_window_t window, PixelFormat format);
    X11Canvas(const X11Canvas&) = delete;
    X11Canvas& operator=(const X11Canvas&) = delete;

    // Brings `device_region` up to date with the scene, in one burst of
    // requests sent together.
    void redraw(const ShapeScene& scene, const Region& device_region, Rgb window_color);

    void fill(const Rect& rect, Rgb color) override;
    // All of it in one request: the server's cost is mostly per request.
    void fill(const Region& region, Rgb color) override;
    void draw_rectangle(const Rect& rect, std::optional<Rgb> fill, Rgb border) override;
    void draw_circle(const Rect& rect, std::optional<Rgb> fill, Rgb border) override;

private:
    // A graphics context kept in one colour as long as it can be: the
    // background's and the shapes' each have their own, so that a frame
    // changes none of them in the usual case.
    struct Pen {
        Pen(xcb_connection_t* connection, xcb_window_t window);
        ~Pen();
        Pen(const Pen&) = delete;
        Pen& operator=(const Pen&) = delete;
        xcb_gcontext_t in(uint32_t pixel);

        xcb_connection_t* connection;
        xcb_gcontext_t gc;
        uint32_t foreground = 0;
    };

    xcb_connection_t* connection_;
    xcb_window_t window_;
    PixelFormat format_;
    Pen background_pen_;
    Pen shape_pen_;
};

}  // namespace pellavin::screen
