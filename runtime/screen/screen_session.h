#pragma once

#include "runtime/screen/device_pixels.h"
#include "runtime/screen/event_loop.h"
#include "runtime/screen/screen_form.h"

namespace pellavin::screen {

// A full-screen program's place on one window system: the screen's size,
// the surface the form shows in, and the events the window system sends,
// which it hands to the form's view. The loop waits on it as a connection.
class ScreenSession : public Connection {
public:
    // The screen's size in twips, as the form sees it.
    virtual float width_twips() const = 0;
    virtual float height_twips() const = 0;
    virtual DevicePixels pixels() const = 0;
    virtual Surface& surface() = 0;

    // Where the events go from now on; nullptr: nowhere.
    void attach(ScreenForm* view) { view_ = view; }

protected:
    ScreenForm* view_ = nullptr;
};

}  // namespace pellavin::screen
