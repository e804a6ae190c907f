#pragma once

#include "runtime/screen/screen_form.h"
#include "runtime/screen/x11/x11_canvas.h"
#include "runtime/screen/x11/x11_covers.h"
#include "runtime/screen/x11/x11_focus.h"
#include "runtime/screen/x11/x11_screen.h"

#include <xcb/xcb.h>

#include <optional>
#include <string>

namespace pellavin::screen {

// The game's own window on an X server: borderless and full screen on the
// primary monitor, without a pointer, and black covers on every other
// monitor. It takes nothing that a screen locker needs: keys reach it by
// the keyboard's focus, asked for as it first shows.
class X11GameWindow final : public Surface {
public:
    X11GameWindow(xcb_connection_t* connection, const ScreenFacts& facts, std::string title);
    ~X11GameWindow() override;
    X11GameWindow(const X11GameWindow&) = delete;
    X11GameWindow& operator=(const X11GameWindow&) = delete;

    bool show(const Rect& size) override;
    void hide() override;
    void set_background(Rgb color) override;
    void redraw(const ShapeScene& scene, const Region& device_region) override;

    xcb_window_t window() const { return window_; }
    bool owns(xcb_window_t window) const { return size_of(window).has_value(); }
    // The size of the game's window or a cover, at (0, 0); nothing for
    // any other window.
    std::optional<Rect> size_of(xcb_window_t window) const;
    // The monitors have changed.
    void follow(const std::vector<Monitor>& monitors);

    // The window has shown for the first time: it asks for the focus.
    void first_shown();
    // A time the server stamped an event of the window's with.
    void saw_time(xcb_timestamp_t time) { focus_.saw_time(time); }
    // Whether a window of another program, above the game's, covers the
    // whole of the game's monitor: a screen locker or a saver has come.
    bool covered_by_another_program() const;

private:
    void raise_over_covers();

    xcb_connection_t* connection_;
    const ScreenFacts& facts_;
    std::string title_;
    Monitor monitor_;
    xcb_cursor_t cursor_;
    X11Covers covers_;
    X11Focus focus_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    uint32_t background_ = 0;
    std::optional<X11Canvas> canvas_;
    Rect size_;
    bool shown_ = false;
};

}  // namespace pellavin::screen
