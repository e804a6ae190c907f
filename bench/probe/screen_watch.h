#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>

#include <optional>
#include <vector>

namespace pellavin::bench {

// Milliseconds on CLOCK_MONOTONIC.
double now_ms();

// Everything drawn on the screen, as the X server reports it: a damage
// object on the root window sees drawing into every window. Each report is
// stamped with the server's own time, converted here to CLOCK_MONOTONIC, so
// a late reading by this process never shifts a figure.
class ScreenWatch {
public:
    struct Report {
        double at_ms;  // server time, on our clock
        XRectangle area;
    };

    explicit ScreenWatch(Display* display);
    ~ScreenWatch();
    ScreenWatch(const ScreenWatch&) = delete;
    ScreenWatch& operator=(const ScreenWatch&) = delete;

    // Every damage report that has arrived, oldest first.
    std::vector<Report> take();

    // Reads the whole screen as it is now.
    void read_screen();

    // Whether the screen shows anything yet: whether the pixels of `area` in
    // the last reading, with all those looked at before, hold more than one
    // colour. A window that only paints its background does not count; one
    // with a shape or text on it does.
    bool shows_content(const XRectangle& area);

private:
    double to_local_ms(Time server_time) const;

    Display* display_;
    int damage_event_ = 0;
    ::Damage damage_ = 0;
    // The whole screen in memory shared with the server: a full read takes
    // well under a millisecond there, against tens through the socket.
    XShmSegmentInfo shared_{};
    XImage* screen_ = nullptr;
    Time reference_server_ = 0;
    double reference_local_ = 0;
    std::optional<unsigned long> first_colour_;
    bool content_ = false;
};

}  // namespace pellavin::bench
