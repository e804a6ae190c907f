#include "runtime/screen/x11/connection.h"

#include <cstdlib>

namespace pellavin::screen {

X11Connection::X11Connection()
{
    const char* display = std::getenv("DISPLAY");
    name_ = display != nullptr ? display : "";
    if (name_.empty()) {
        problem_ = "DISPLAY is not set";
        return;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, &screen_number_);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        problem_ = "cannot connect to the X server \"" + name_ + "\"";
        return;
    }
    connection_ = connection;
}

X11Connection::~X11Connection()
{
    if (connection_ != nullptr) xcb_disconnect(connection_);
}

xcb_screen_t* X11Connection::screen() const
{
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screen_number_ && screens.rem > 1; ++i) xcb_screen_next(&screens);
    return screens.data;
}

}  // namespace pellavin::screen
