#pragma once

#include "runtime/screen/screen_form.h"
#include "runtime/screen/x11/x11_canvas.h"

#include <xcb/xcb.h>

#include <optional>

namespace pellavin::screen {

// A window that a screensaver framework gave the program to play in. It is
// the framework's: the program draws in it and does nothing else with it,
// and it has no window of its own.
class X11GivenWindow final : public Surface {
public:
    X11GivenWindow(xcb_connection_t* connection, xcb_window_t window, const Rect& size, PixelFormat format);
    X11GivenWindow(const X11GivenWindow&) = delete;
    X11GivenWindow& operator=(const X11GivenWindow&) = delete;

    // The window shows already: it is drawn whole at once.
    bool show(const Rect& size) override;
    void hide() override {}
    void set_background(Rgb) override {}
    void redraw(const ShapeScene& scene, const Region& device_region) override;

    xcb_window_t window() const { return window_; }
    const Rect& size() const { return size_; }
    // The framework has given the window another size (a preview resized).
    void resize(int width, int height) { size_ = {0, 0, width, height}; }

private:
    xcb_window_t window_;
    Rect size_;
    X11Canvas canvas_;
};

}  // namespace pellavin::screen
