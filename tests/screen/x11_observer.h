#pragma once

#include "runtime/screen/geometry.h"
#include "runtime/screen/x11/connection.h"
#include "runtime/screen/x11/x11_screen.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pellavin::testing {

// What a test sees of the screen, and the input it makes, through a
// connection of its own to the X server of DISPLAY: as a user would.
class X11Observer {
public:
    X11Observer();

    bool connected() const { return x11_.connected(); }
    xcb_connection_t* get() const { return x11_.get(); }
    xcb_window_t root() const { return x11_.screen()->root; }

    // The screen's pixels, as shown now.
    struct Image {
        int width = 0;
        int height = 0;
        std::vector<screen::Rgb> pixels;
        screen::Rgb at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
        // What is not black in `area`, as one bounding box.
        screen::Rect lit_box(const screen::Rect& area) const;
    };
    Image shot(const screen::Rect& area);

    // A key pressed or released (XTEST), by its key symbol in the server's map.
    void key(uint32_t keysym, bool press);
    void tap(uint32_t keysym) { key(keysym, true); key(keysym, false); }
    // The pointer moved to (x, y) of the screen; a button pressed and released there.
    void move_pointer(int x, int y);
    void click(int x, int y, uint8_t button = 1);

    // Whether the pointer image shows any pixel, where the pointer is now.
    bool pointer_shows();
    // The window's place on the screen, and whether it is viewable.
    screen::Rect geometry(xcb_window_t window);
    bool viewable(xcb_window_t window);
    // A property of 32-bit values.
    std::vector<uint32_t> cardinals(xcb_window_t window, const std::string& property);
    // Takes the keyboard, as a screen locker does: false when another
    // client holds it. Held until given back.
    bool take_keyboard();
    void give_keyboard_back();
    // The window that has the keyboard's focus.
    xcb_window_t focus();
    // An unmanaged black window over `area`, shown, as a locker's.
    xcb_window_t show_window(const screen::Rect& area);
    // The root's child on top of all.
    xcb_window_t topmost();
    // The DPI that Xft.dpi sets on the server, 96 without it.
    double dpi() const { return screen::query_screen(x11_, false).dpi; }
    // Waits until the server has done all this connection asked.
    void sync();

private:
    uint8_t keycode_of(uint32_t keysym);
    xcb_atom_t atom(const std::string& name);

    screen::X11Connection x11_;
};

}  // namespace pellavin::testing
