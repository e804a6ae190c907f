#pragma once

#include "runtime/screen/form_view.h"
#include "runtime/screen/x11/x11_canvas.h"
#include "runtime/screen/x11/x11_covers.h"
#include "runtime/screen/x11/x11_screen.h"

#include <xcb/xcb.h>

#include <optional>
#include <string>

namespace pellavin::screen {

// The game's own window on an X server: borderless and full screen on the
// primary monitor, without a pointer, black covers on every other monitor,
// and the keyboard taken for it as soon as it shows.
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

    // The window is on the screen, or has the focus: the keyboard is taken
    // for it, once the server grants it.
    void take_keyboard();
    bool keyboard_taken() const { return keyboard_ == Keyboard::Taken; }
    // Reads the server's answer to the keyboard's grab, when it has come.
    void check_keyboard();

private:
    enum class Keyboard { Free, Asked, Taken };

    xcb_connection_t* connection_;
    const ScreenFacts& facts_;
    std::string title_;
    Monitor monitor_;
    xcb_cursor_t cursor_;
    X11Covers covers_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    uint32_t background_ = 0;
    std::optional<X11Canvas> canvas_;
    Keyboard keyboard_ = Keyboard::Free;
    xcb_grab_keyboard_cookie_t grab_{};
    Rect size_;
    bool shown_ = false;
};

}  // namespace pellavin::screen
