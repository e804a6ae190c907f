#include "runtime/screen/x11/x11_sight.h"

#include <xcb/dpms.h>
#include <xcb/screensaver.h>
#include <xcb/sync.h>

namespace pellavin::screen {

X11Sight::X11Sight(xcb_connection_t* connection, xcb_window_t root)
    : connection_(connection)
    , root_(root)
{
    // Asked now, read at start(): no wait of their own before the first frame.
    xcb_prefetch_extension_data(connection_, &xcb_screensaver_id);
    xcb_prefetch_extension_data(connection_, &xcb_dpms_id);
    xcb_prefetch_extension_data(connection_, &xcb_sync_id);
}

void X11Sight::start()
{
    if (!blank_) blank_.emplace(connection_, root_, find_idle_counter(connection_));
}

bool X11Sight::handle(const xcb_generic_event_t& event, xcb_window_t window)
{
    const uint8_t type = event.response_type & 0x7F;
    if (blank_ && blank_->handle(event)) return true;
    if (type == XCB_VISIBILITY_NOTIFY && reinterpret_cast<const xcb_visibility_notify_event_t&>(event).window == window) {
        covered_ = reinterpret_cast<const xcb_visibility_notify_event_t&>(event).state == XCB_VISIBILITY_FULLY_OBSCURED;
    } else if (type == XCB_UNMAP_NOTIFY && reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window == window) {
        unmapped_ = true;
    } else if (type == XCB_MAP_NOTIFY && reinterpret_cast<const xcb_map_notify_event_t&>(event).window == window) {
        unmapped_ = false;
    } else {
        return false;
    }
    return true;
}

}  // namespace pellavin::screen
