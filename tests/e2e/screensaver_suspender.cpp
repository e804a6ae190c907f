// A stand-in for a video player: suspends the X server's screensaver, as
// XScreenSaverSuspend does, and holds the suspension until it is killed:
// the server lifts it when the client goes.
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "screensaver_suspender: no X server\n");
        return 1;
    }
    std::free(xcb_screensaver_query_version_reply(connection, xcb_screensaver_query_version(connection, 1, 1), nullptr));
    xcb_generic_error_t* error = xcb_request_check(connection, xcb_screensaver_suspend_checked(connection, 1));
    if (error) {
        std::fprintf(stderr, "screensaver_suspender: the server refused the suspension\n");
        return 1;
    }
    std::puts("suspended");
    std::fflush(stdout);
    for (;;) pause();
}
