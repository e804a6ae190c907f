#include "runtime/screen/x11/x11_sight.h"

#include "runtime/screen/x11/reply.h"
#include "runtime/screen/x11/screen_saver_state.h"

#include <xcb/dpms.h>
#include <xcb/screensaver.h>

#include <sys/timerfd.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

// Each look costs two wake-ups (the timer, the answer): one a second at most.
constexpr time_t kPowerLookSeconds = 2;

}  // namespace

X11Sight::X11Sight(xcb_connection_t* connection, xcb_window_t root)
    : connection_(connection)
    , root_(root)
    , timer_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
    // Asked now, read at start(): no wait of their own before the first frame.
    xcb_prefetch_extension_data(connection_, &xcb_screensaver_id);
    xcb_prefetch_extension_data(connection_, &xcb_dpms_id);
}

X11Sight::~X11Sight()
{
    if (timer_ >= 0) close(timer_);
}

void X11Sight::start()
{
    if (started_) return;
    started_ = true;
    const xcb_query_extension_reply_t* saver = xcb_get_extension_data(connection_, &xcb_screensaver_id);
    const xcb_query_extension_reply_t* dpms = xcb_get_extension_data(connection_, &xcb_dpms_id);
    xcb_screensaver_query_info_cookie_t saver_cookie{};
    if (saver != nullptr && saver->present) {
        saver_event_ = saver->first_event;
        xcb_screensaver_select_input(connection_, root_, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
        saver_cookie = xcb_screensaver_query_info(connection_, root_);
    }
    dpms_ = dpms != nullptr && dpms->present;
    if (saver_event_ != 0) {
        Reply<xcb_screensaver_query_info_reply_t> info(
            xcb_screensaver_query_info_reply(connection_, saver_cookie, nullptr));
        saver_on_ = info && screen_saver_shows(info->state);
    }
    look_at_power();
    plan_power_looks();
}

bool X11Sight::handle(const xcb_generic_event_t& event, xcb_window_t window)
{
    const uint8_t type = event.response_type & 0x7F;
    if (saver_event_ != 0 && type == saver_event_ + XCB_SCREENSAVER_NOTIFY) {
        const auto& notify = reinterpret_cast<const xcb_screensaver_notify_event_t&>(event);
        saver_on_ = screen_saver_shows(notify.state);
        // The monitor may have gone off meanwhile.
        if (!saver_on_) look_at_power();
    } else if (type == XCB_VISIBILITY_NOTIFY
        && reinterpret_cast<const xcb_visibility_notify_event_t&>(event).window == window) {
        covered_ = reinterpret_cast<const xcb_visibility_notify_event_t&>(event).state
            == XCB_VISIBILITY_FULLY_OBSCURED;
    } else if (type == XCB_UNMAP_NOTIFY && reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window == window) {
        unmapped_ = true;
    } else if (type == XCB_MAP_NOTIFY && reinterpret_cast<const xcb_map_notify_event_t&>(event).window == window) {
        unmapped_ = false;
    } else {
        return false;
    }
    plan_power_looks();
    return true;
}

void X11Sight::wake()
{
    uint64_t expirations = 0;
    if (read(timer_, &expirations, sizeof expirations) > 0) look_at_power();
}

void X11Sight::look_at_power()
{
    if (!dpms_) return;
    Reply<xcb_dpms_info_reply_t> info(xcb_dpms_info_reply(connection_, xcb_dpms_info(connection_), nullptr));
    monitor_off_ = info && info->state != 0 && info->power_level != XCB_DPMS_DPMS_MODE_ON;
}

// Only while nothing else hides the window: its coming back is an event.
void X11Sight::plan_power_looks()
{
    const bool look = dpms_ && !unmapped_ && !covered_ && !saver_on_;
    if (look == looking_) return;
    looking_ = look;
    itimerspec setting{};
    if (look) setting.it_value.tv_sec = setting.it_interval.tv_sec = kPowerLookSeconds;
    timerfd_settime(timer_, 0, &setting, nullptr);
}

}  // namespace pellavin::screen
