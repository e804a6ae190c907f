#include "idle/x11_blank.h"

#include "runtime/screen/x11/screen_saver_state.h"

#include <xcb/dpms.h>
#include <xcb/screensaver.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace pellavin::idle {
namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

constexpr int64_t kMillisecondsPerSecond = 1000;

}  // namespace

X11Blank::X11Blank(xcb_connection_t* connection, xcb_window_t root, xcb_sync_counter_t idle_counter)
    : connection_(connection)
{
    const xcb_query_extension_reply_t* saver = xcb_get_extension_data(connection_, &xcb_screensaver_id);
    if (saver && saver->present) {
        saver_notify_ = saver->first_event + XCB_SCREENSAVER_NOTIFY;
        xcb_screensaver_select_input(connection_, root, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
        Reply<xcb_screensaver_query_info_reply_t> info(
            xcb_screensaver_query_info_reply(connection_, xcb_screensaver_query_info(connection_, root), nullptr));
        saver_on_ = info && screen::screen_saver_shows(info->state);
    }
    const xcb_query_extension_reply_t* dpms = xcb_get_extension_data(connection_, &xcb_dpms_id);
    if (dpms && dpms->present) {
        Reply<xcb_dpms_capable_reply_t> capable(
            xcb_dpms_capable_reply(connection_, xcb_dpms_capable(connection_), nullptr));
        dpms_ = capable && capable->capable;
    }
    if (dpms_) {
        monitors_off_alarm_.emplace(connection_, idle_counter);
        monitors_on_alarm_.emplace(connection_, idle_counter);
        watch_monitors();
    }
}

// Asked afresh at each input: the timeouts may have changed (xset dpms).
// The server acts on its timeouts on a timer of its own, so the monitors
// are looked at a second after the first of them, once an idle period.
void X11Blank::watch_monitors()
{
    Reply<xcb_dpms_info_reply_t> info(xcb_dpms_info_reply(connection_, xcb_dpms_info(connection_), nullptr));
    Reply<xcb_dpms_get_timeouts_reply_t> timeouts(
        xcb_dpms_get_timeouts_reply(connection_, xcb_dpms_get_timeouts(connection_), nullptr));
    monitors_off_ = false;
    monitors_on_alarm_->disarm();
    monitors_off_alarm_->disarm();
    if (!info || !info->state || !timeouts) return;
    int64_t first = 0;
    for (uint16_t timeout : {timeouts->standby_timeout, timeouts->suspend_timeout, timeouts->off_timeout}) {
        if (timeout != 0 && (first == 0 || timeout < first)) first = timeout;
    }
    if (first != 0) monitors_off_alarm_->arm_at_least((first + 1) * kMillisecondsPerSecond);
}

bool X11Blank::handle(const xcb_generic_event_t& event, uint8_t alarm_notify)
{
    const uint8_t type = event.response_type & 0x7F;
    if (saver_notify_ != 0 && type == saver_notify_) {
        saver_on_ = screen::screen_saver_shows(reinterpret_cast<const xcb_screensaver_notify_event_t&>(event).state);
        return true;
    }
    if (!dpms_ || type != alarm_notify) return false;
    const auto& notify = reinterpret_cast<const xcb_sync_alarm_notify_event_t&>(event);
    if (monitors_on_alarm_->fired(notify)) {
        watch_monitors();
        return true;
    }
    if (!monitors_off_alarm_->fired(notify)) return false;
    Reply<xcb_dpms_info_reply_t> info(xcb_dpms_info_reply(connection_, xcb_dpms_info(connection_), nullptr));
    monitors_off_ = info && info->state && info->power_level != XCB_DPMS_DPMS_MODE_ON;
    // Either way, nothing more until the next input.
    monitors_off_alarm_->disarm();
    monitors_on_alarm_->arm_below(std::max<int64_t>(to_int64(notify.counter_value) - 1, 1));
    return true;
}

}  // namespace pellavin::idle
