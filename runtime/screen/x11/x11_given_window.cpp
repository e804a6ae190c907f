#include "runtime/screen/x11/x11_given_window.h"

namespace pellavin::screen {

X11GivenWindow::X11GivenWindow(xcb_connection_t* connection, xcb_window_t window, const Rect& size, PixelFormat format)
    : window_(window)
    , size_(size)
    , canvas_(connection, window, format)
{
}

bool X11GivenWindow::show(const Rect&) { return true; }

void X11GivenWindow::redraw(const ShapeScene& scene, const Region& device_region)
{
    canvas_.redraw(scene, device_region, kSystemFaceColor);
}

}  // namespace pellavin::screen
