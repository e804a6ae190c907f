#include "runtime/screen/x11/x11_blank.h"

#include "runtime/screen/x11/reply.h"

#include <xcb/dpms.h>
#include <xcb/screensaver.h>

#include <algorithm>

namespace pellavin::screen {
namespace {

constexpr int64_t kMillisecondsPerSecond = 1000;

// Its state as the server reports it: on, or cycling through its pictures.
bool screen_saver_shows(uint8_t state)
{
    return state == XCB_SCREENSAVER_STATE_ON || state == XCB_SCREENSAVER_STATE_CYCLE;
}

}  // namespace

X11Blank::X11Blank(xcb_connection_t* connection, xcb_window_t root, xcb_sync_counter_t idle_counter)
    : connection_(connection)
    , alarm_notify_(alarm_notify_type(connection))
{
    const xcb_query_extension_reply_t* saver = xcb_get_extension_data(connection_, &xcb_screensaver_id);
    const xcb_query_extension_reply_t* dpms = xcb_get_extension_data(connection_, &xcb_dpms_id);
    // Every question first, then the answers: one wait for all of them.
    std::optional<xcb_screensaver_query_info_cookie_t> saver_info;
    if (saver && saver->present) {
        saver_notify_ = saver->first_event + XCB_SCREENSAVER_NOTIFY;
        xcb_screensaver_select_input(connection_, root, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
        saver_info = xcb_screensaver_query_info(connection_, root);
    }
    std::optional<xcb_dpms_capable_cookie_t> capable;
    if (dpms && dpms->present && idle_counter != 0 && alarm_notify_ != 0) capable = xcb_dpms_capable(connection_);
    if (saver_info) {
        Reply<xcb_screensaver_query_info_reply_t> info(
            xcb_screensaver_query_info_reply(connection_, *saver_info, nullptr));
        saver_on_ = info && screen_saver_shows(info->state);
    }
    if (capable) {
        Reply<xcb_dpms_capable_reply_t> answer(xcb_dpms_capable_reply(connection_, *capable, nullptr));
        dpms_ = answer && answer->capable;
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
    const auto info_cookie = xcb_dpms_info(connection_);
    const auto timeouts_cookie = xcb_dpms_get_timeouts(connection_);
    Reply<xcb_dpms_info_reply_t> info(xcb_dpms_info_reply(connection_, info_cookie, nullptr));
    Reply<xcb_dpms_get_timeouts_reply_t> timeouts(xcb_dpms_get_timeouts_reply(connection_, timeouts_cookie, nullptr));
    monitors_off_ = info && info->state && info->power_level != XCB_DPMS_DPMS_MODE_ON;
    monitors_on_alarm_->disarm();
    monitors_off_alarm_->disarm();
    if (!info || !info->state || !timeouts) return;
    if (monitors_off_) {
        // Off already (the watcher or the game started in the dark): the next input wakes them.
        monitors_on_alarm_->arm_below(1);
        return;
    }
    int64_t first = 0;
    for (uint16_t timeout : {timeouts->standby_timeout, timeouts->suspend_timeout, timeouts->off_timeout}) {
        if (timeout != 0 && (first == 0 || timeout < first)) first = timeout;
    }
    if (first != 0) monitors_off_alarm_->arm_at_least((first + 1) * kMillisecondsPerSecond);
}

bool X11Blank::handle(const xcb_generic_event_t& event)
{
    const uint8_t type = event.response_type & 0x7F;
    if (saver_notify_ != 0 && type == saver_notify_) {
        saver_on_ = screen_saver_shows(reinterpret_cast<const xcb_screensaver_notify_event_t&>(event).state);
        return true;
    }
    if (!dpms_ || type != alarm_notify_) return false;
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

}  // namespace pellavin::screen
