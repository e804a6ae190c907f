#include "idle/sources/x11_idle.h"

#include "idle/sources/session.h"
#include "runtime/screen/x11/reply.h"

#include <xcb/res.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace pellavin::idle {
namespace {

using screen::Reply;
using screen::to_int64;

// The type the server gives a client's suspension of its screensaver
// among that client's resources.
constexpr char kSuspensionType[] = "SaverSuspend";
// What xscreensaver keeps on the root window while it runs.
constexpr char kDaemonStatus[] = "_SCREENSAVER_STATUS";

xcb_atom_t intern(xcb_connection_t* connection, const char* name)
{
    Reply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr));
    return atom ? atom->atom : 0;
}

}  // namespace

X11IdleSource::X11IdleSource()
{
    if (!x11_.connected()) throw NoServer("X11 session: " + x11_.problem());
    connection_ = x11_.get();
    const std::string& name = x11_.name();
    fd_ = x11_.fd();

    idle_counter_ = screen::find_idle_counter(connection_);
    if (idle_counter_ == 0) {
        throw NoIdleTime("X11 session: the X server \"" + name + "\" keeps no idle time (no SYNC IDLETIME counter)");
    }
    alarm_notify_ = screen::alarm_notify_type(connection_);

    const xcb_query_extension_reply_t* res = xcb_get_extension_data(connection_, &xcb_res_id);
    if (res && res->present) suspension_type_ = intern(connection_, kSuspensionType);

    const xcb_window_t root = x11_.screen()->root;
    daemon_status_ = intern(connection_, kDaemonStatus);
    const uint32_t property_changes = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, root, XCB_CW_EVENT_MASK, &property_changes);
    read_daemon_status();

    idle_alarm_.emplace(connection_, idle_counter_);
    input_alarm_.emplace(connection_, idle_counter_);
    blank_.emplace(connection_, x11_.screen()->root, idle_counter_);
    xcb_flush(connection_);
}

X11IdleSource::~X11IdleSource() = default;

bool X11IdleSource::can_see_suspensions() const { return suspension_type_ != 0; }

int64_t X11IdleSource::idle_now()
{
    Reply<xcb_sync_query_counter_reply_t> reply(
        xcb_sync_query_counter_reply(connection_, xcb_sync_query_counter(connection_, idle_counter_), nullptr));
    return reply ? to_int64(reply->counter_value) : 0;
}

void X11IdleSource::idle_time(std::function<void(std::optional<Milliseconds>)> answer)
{
    answer(Milliseconds(idle_now()));
}

void X11IdleSource::watch(Milliseconds delay, Count count)
{
    delay_ = delay.count();
    phase_ = Phase::Waiting;
    const int64_t idle = count == Count::FromLastInput ? 0 : idle_now();
    if (idle > 0) {
        // The count begins now, or at the next input: the delay on top of
        // the idle time so far (unless only input may begin it), or from
        // the next input if that comes first. The server fires a negative
        // transition only from above the value, hence one less.
        if (count == Count::FromNow) idle_alarm_->arm_at_least(idle + delay_);
        else idle_alarm_->disarm();
        input_alarm_->arm_below(idle - 1);
    } else {
        // A comparison, not a transition: a delay already passed fires at once.
        idle_alarm_->arm_at_least(delay_);
        input_alarm_->disarm();
    }
}

void X11IdleSource::stop()
{
    phase_ = Phase::Stopped;
    idle_alarm_->disarm();
    input_alarm_->disarm();
}

bool X11IdleSource::screensaver_suspended()
{
    if (suspension_type_ == 0) return false;
    Reply<xcb_res_query_clients_reply_t> clients(
        xcb_res_query_clients_reply(connection_, xcb_res_query_clients(connection_), nullptr));
    if (!clients) return false;
    const xcb_res_client_t* client = xcb_res_query_clients_clients(clients.get());
    std::vector<xcb_res_query_client_resources_cookie_t> cookies;
    for (int i = 0; i < xcb_res_query_clients_clients_length(clients.get()); ++i) {
        cookies.push_back(xcb_res_query_client_resources(connection_, client[i].resource_base));
    }
    bool suspended = false;
    for (const auto& cookie : cookies) {
        Reply<xcb_res_query_client_resources_reply_t> resources(
            xcb_res_query_client_resources_reply(connection_, cookie, nullptr));
        if (!resources) continue;
        const xcb_res_type_t* type = xcb_res_query_client_resources_types(resources.get());
        for (int j = 0; j < xcb_res_query_client_resources_types_length(resources.get()); ++j) {
            if (type[j].resource_type == suspension_type_ && type[j].count > 0) suspended = true;
        }
    }
    return suspended;
}

// xscreensaver's status: its state first (the atom BLANK or LOCK while it
// has blanked or locked the screen, 0 when not), then times and hacks.
void X11IdleSource::read_daemon_status()
{
    Reply<xcb_get_property_reply_t> status(xcb_get_property_reply(connection_,
        xcb_get_property(connection_, 0, x11_.screen()->root, daemon_status_, XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
        nullptr));
    const bool there = status && status->type != XCB_ATOM_NONE;
    screensaver_daemon_ = screensaver_daemon_ || there;
    daemon_blanked_ = there && status->format == 32 && xcb_get_property_value_length(status.get()) >= 4
        && *static_cast<const uint32_t*>(xcb_get_property_value(status.get())) != 0;
}

void X11IdleSource::handle(const xcb_generic_event_t& event)
{
    if (blank_->handle(event)) return;
    if ((event.response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
        const auto& property = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (property.atom != daemon_status_) return;
        const bool was_there = screensaver_daemon_;
        read_daemon_status();
        if (screensaver_daemon_ && !was_there && on_screensaver_daemon) on_screensaver_daemon();
        return;
    }
    if ((event.response_type & 0x7F) != alarm_notify_) return;
    const auto& notify = reinterpret_cast<const xcb_sync_alarm_notify_event_t&>(event);
    // An alarm changed after the server sent this is not what it reports.
    if (idle_alarm_->fired(notify) && phase_ == Phase::Waiting) {
        phase_ = Phase::Idle;
        idle_alarm_->disarm();
        input_alarm_->arm_below(to_int64(notify.counter_value) - 1);
        if (!screensaver_suspended() && on_idle) on_idle();
    } else if (input_alarm_->fired(notify) && phase_ != Phase::Stopped) {
        phase_ = Phase::Waiting;
        input_alarm_->disarm();
        idle_alarm_->arm_at_least(delay_);
    }
}

void X11IdleSource::handle_queued()
{
    // Replies waited for elsewhere may have queued events that the
    // descriptor will not show again.
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_)) {
        handle(*event);
        std::free(event);
    }
}

void X11IdleSource::flush()
{
    handle_queued();
    // Said here, once the events that changed it are all handled: the state
    // at the start too, once the watcher listens.
    const bool blanked = blank_->blanked() || daemon_blanked_;
    if (blanked != blank_reported_) {
        blank_reported_ = blanked;
        if (on_blanked) on_blanked(blank_reported_);
    }
    xcb_flush(connection_);
}

bool X11IdleSource::dispatch()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        handle(*event);
        std::free(event);
    }
    handle_queued();
    return !x11_.gone();
}

}  // namespace pellavin::idle
