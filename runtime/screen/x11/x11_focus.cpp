#include "runtime/screen/x11/x11_focus.h"

#include "runtime/screen/x11/reply.h"

namespace pellavin::screen {
namespace {

// _NET_ACTIVE_WINDOW's source indication: a request of the application's own.
constexpr uint32_t kFromApplication = 1;

}  // namespace

X11Focus::X11Focus(xcb_connection_t* connection, const ScreenFacts& facts)
    : connection_(connection)
    , facts_(facts)
    // Asked now and read once the window shows: the answer has come by then.
    , root_attributes_(xcb_get_window_attributes(connection, facts.root))
{
}

void X11Focus::ask_time(xcb_window_t window)
{
    // Appending nothing changes nothing, but the server tells of the change with its time.
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window, facts_.atoms.timestamp, XCB_ATOM_CARDINAL, 32, 0,
        nullptr);
}

// A window manager is the one client that redirects the root's children.
bool X11Focus::window_manager_runs()
{
    if (root_attributes_.sequence != 0) {
        Reply<xcb_get_window_attributes_reply_t> root(
            xcb_get_window_attributes_reply(connection_, root_attributes_, nullptr));
        root_attributes_.sequence = 0;
        managed_ = root && (root->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT) != 0;
    }
    return managed_;
}

void X11Focus::ask_for(xcb_window_t window)
{
    if (!window_manager_runs()) {
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, time_);
        return;
    }
    if (time_ != XCB_CURRENT_TIME) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, facts_.atoms.net_wm_user_time,
            XCB_ATOM_CARDINAL, 32, 1, &time_);
    }
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = window;
    request.type = facts_.atoms.net_active_window;
    request.data.data32[0] = kFromApplication;
    request.data.data32[1] = time_;
    request.data.data32[2] = XCB_WINDOW_NONE;  // no window of the game's has the focus yet
    xcb_send_event(connection_, 0, facts_.root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY, reinterpret_cast<const char*>(&request));
}

}  // namespace pellavin::screen
