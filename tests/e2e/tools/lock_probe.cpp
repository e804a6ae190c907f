// What the X server says of a screen lock, not what the locker says:
// which process shows the topmost window over the middle of the screen
// (X-Resource's client ids), by its pid and name: "top PID NAME", or
// "top none". A window manager's frames count as its own. (The window is the one the server finds there, as for the pointer: while
// xss-lock's small screen saver window is up, the root's list of children
// leaves out windows made since.) With --grab, first whether a client can
// take the keyboard now: "keyboard taken" when a grab is refused, "keyboard
// free" when it is granted, and at once let go. (Granted, it ends a game
// that plays, as a locker's grab does.)
#include <xcb/res.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

template <typename T> struct Freed {
    T* reply;
    ~Freed() { std::free(reply); }
    T* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

bool keyboard_taken(xcb_connection_t* c, xcb_window_t root)
{
    Freed<xcb_grab_keyboard_reply_t> grab{xcb_grab_keyboard_reply(c,
        xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr)};
    if (grab && grab->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
        xcb_flush(c);
        return false;
    }
    return true;
}

// The pid of the client that made `window`; 0 when the server cannot tell.
uint32_t pid_of(xcb_connection_t* c, xcb_window_t window)
{
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    Freed<xcb_res_query_client_ids_reply_t> ids{
        xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &wanted), nullptr)};
    if (!ids) return 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(ids.reply); it.rem; xcb_res_client_id_value_next(&it)) {
        if (it.data->length == 4) {  // the one kind of id asked for: a pid
            return *xcb_res_client_id_value_value(it.data);
        }
    }
    return 0;
}

std::string name_of(uint32_t pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "?" : name;
}

}  // namespace

int main(int argc, char** argv)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "lock_probe: no X server\n");
        xcb_disconnect(c);
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (argc > 1 && std::string(argv[1]) == "--grab") {
        std::puts(keyboard_taken(c, screen->root) ? "keyboard taken" : "keyboard free");
    }
    // The window that shows there, as the server finds it for the pointer;
    // inside one of the server's own (the composite overlay window), the
    // window shown in it.
    const xcb_setup_t* setup = xcb_get_setup(c);
    const auto servers = [setup](xcb_window_t window) { return (window & ~setup->resource_id_mask) == 0; };
    xcb_window_t shown = XCB_WINDOW_NONE;
    for (xcb_window_t in = screen->root; in != XCB_WINDOW_NONE;) {
        Freed<xcb_translate_coordinates_reply_t> at{xcb_translate_coordinates_reply(c,
            xcb_translate_coordinates(c, screen->root, in, static_cast<int16_t>(screen->width_in_pixels / 2),
                static_cast<int16_t>(screen->height_in_pixels / 2)),
            nullptr)};
        if (!at || at->child == XCB_WINDOW_NONE) break;
        shown = at->child;
        in = servers(shown) ? shown : xcb_window_t{XCB_WINDOW_NONE};
    }
    if (shown != XCB_WINDOW_NONE) {
        const uint32_t pid = pid_of(c, shown);
        std::printf("top %u %s\n", pid, pid ? name_of(pid).c_str() : "?");
    } else {
        std::puts("top none");
    }
    xcb_disconnect(c);
    return 0;
}
