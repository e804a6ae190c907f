#pragma once

#include <xcb/xcb.h>

#include <string>

namespace pellavin::screen {

// A connection to the X server that DISPLAY names: what the game and the
// idle watcher both open, and both end with once the server has gone.
class X11Connection {
public:
    // Connects; check connected() before anything else.
    X11Connection();
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    bool connected() const { return connection_ != nullptr; }
    // Why there is no connection, in words: `cannot connect to the X
    // server ":5"`, `DISPLAY is not set`.
    const std::string& problem() const { return problem_; }
    // The display's name as DISPLAY gave it.
    const std::string& name() const { return name_; }

    xcb_connection_t* get() const { return connection_; }
    int fd() const { return xcb_get_file_descriptor(connection_); }
    int screen_number() const { return screen_number_; }
    xcb_screen_t* screen() const;
    // The server has gone, or broke the connection off.
    bool gone() const { return xcb_connection_has_error(connection_) != 0; }

private:
    xcb_connection_t* connection_ = nullptr;
    int screen_number_ = 0;
    std::string name_;
    std::string problem_;
};

}  // namespace pellavin::screen
