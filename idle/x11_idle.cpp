#include "idle/x11_idle.h"

#include "idle/session.h"

#include <xcb/res.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace pellavin::idle {
namespace {

// The type the server gives a client's suspension of its screensaver
// among that client's resources.
constexpr char kSuspensionType[] = "SaverSuspend";
constexpr char kIdleCounter[] = "IDLETIME";

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

int64_t to_int64(xcb_sync_int64_t value)
{
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(value.hi)) << 32) | value.lo);
}

xcb_sync_int64_t to_sync(int64_t value)
{
    return {static_cast<int32_t>(value >> 32), static_cast<uint32_t>(value & 0xFFFFFFFF)};
}

// libxcb's iterator over the system counters assumes a padded record, but
// each one is a 14-byte header and its name, padded to four bytes as a
// whole; walk the list by hand.
xcb_sync_counter_t find_counter(const xcb_sync_list_system_counters_reply_t& list, const std::string& name)
{
    constexpr size_t kHeader = 14;  // counter (4), resolution (8), name length (2)
    const auto* at = reinterpret_cast<const uint8_t*>(&list + 1);
    const auto* end = at + list.length * 4;
    for (uint32_t i = 0; i < list.counters_len && at + kHeader <= end; ++i) {
        uint32_t counter = 0;
        uint16_t length = 0;
        std::memcpy(&counter, at, sizeof counter);
        std::memcpy(&length, at + 12, sizeof length);
        if (at + kHeader + length > end) break;
        if (std::string(reinterpret_cast<const char*>(at + kHeader), length) == name) return counter;
        at += (kHeader + length + 3) & ~size_t{3};
    }
    return 0;
}

}  // namespace

X11IdleSource::X11IdleSource()
{
    if (!x11_.connected()) throw SessionError("X11 session: " + x11_.problem());
    connection_ = x11_.get();
    const std::string& name = x11_.name();
    fd_ = x11_.fd();

    const xcb_query_extension_reply_t* sync = xcb_get_extension_data(connection_, &xcb_sync_id);
    Reply<xcb_sync_initialize_reply_t> version(sync && sync->present
            ? xcb_sync_initialize_reply(connection_, xcb_sync_initialize(connection_, 3, 1), nullptr)
            : nullptr);
    Reply<xcb_sync_list_system_counters_reply_t> counters(version
            ? xcb_sync_list_system_counters_reply(connection_, xcb_sync_list_system_counters(connection_), nullptr)
            : nullptr);
    if (counters) idle_counter_ = find_counter(*counters, kIdleCounter);
    if (idle_counter_ == 0) {
        throw NoIdleTime("X11 session: the X server \"" + name + "\" keeps no idle time (no SYNC IDLETIME counter)");
    }
    alarm_notify_ = sync->first_event + XCB_SYNC_ALARM_NOTIFY;

    const xcb_query_extension_reply_t* res = xcb_get_extension_data(connection_, &xcb_res_id);
    if (res && res->present) {
        Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(connection_,
            xcb_intern_atom(connection_, 0, std::strlen(kSuspensionType), kSuspensionType), nullptr));
        if (atom) suspension_type_ = atom->atom;
    }

    // Both alarms start without events; arm() gives them their test.
    for (xcb_sync_alarm_t* alarm : {&idle_alarm_, &input_alarm_}) {
        *alarm = xcb_generate_id(connection_);
        const xcb_sync_create_alarm_value_list_t values{idle_counter_, XCB_SYNC_VALUETYPE_ABSOLUTE, to_sync(0),
            XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON, to_sync(0), 0};
        xcb_sync_create_alarm_aux(connection_, *alarm,
            XCB_SYNC_CA_COUNTER | XCB_SYNC_CA_VALUE_TYPE | XCB_SYNC_CA_VALUE | XCB_SYNC_CA_TEST_TYPE
                | XCB_SYNC_CA_DELTA | XCB_SYNC_CA_EVENTS,
            &values);
    }
    xcb_flush(connection_);
}

X11IdleSource::~X11IdleSource() = default;

bool X11IdleSource::can_see_suspensions() const { return suspension_type_ != 0; }

void X11IdleSource::arm(xcb_sync_alarm_t alarm, xcb_sync_testtype_t test, int64_t value)
{
    (alarm == idle_alarm_ ? idle_value_ : input_value_) = value;
    xcb_sync_change_alarm_value_list_t values{};
    values.value = to_sync(value);
    values.testType = test;
    values.events = 1;
    xcb_sync_change_alarm_aux(connection_, alarm, XCB_SYNC_CA_VALUE | XCB_SYNC_CA_TEST_TYPE | XCB_SYNC_CA_EVENTS,
        &values);
}

void X11IdleSource::disarm(xcb_sync_alarm_t alarm)
{
    (alarm == idle_alarm_ ? idle_value_ : input_value_) = -1;
    xcb_sync_change_alarm_value_list_t values{};
    values.events = 0;
    xcb_sync_change_alarm_aux(connection_, alarm, XCB_SYNC_CA_EVENTS, &values);
}

int64_t X11IdleSource::idle_time()
{
    Reply<xcb_sync_query_counter_reply_t> reply(
        xcb_sync_query_counter_reply(connection_, xcb_sync_query_counter(connection_, idle_counter_), nullptr));
    return reply ? to_int64(reply->counter_value) : 0;
}

void X11IdleSource::watch(Milliseconds delay, Count count)
{
    delay_ = delay.count();
    phase_ = Phase::Waiting;
    const int64_t idle = count == Count::FromNow ? idle_time() : 0;
    if (idle > 0) {
        // The count begins now: the delay on top of the idle time so far,
        // or from the next input if that comes first. The server fires a
        // negative transition only from above the value, hence one less.
        arm(idle_alarm_, XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON, idle + delay_);
        arm(input_alarm_, XCB_SYNC_TESTTYPE_NEGATIVE_TRANSITION, idle - 1);
    } else {
        // A comparison, not a transition: a delay already passed fires at once.
        arm(idle_alarm_, XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON, delay_);
        disarm(input_alarm_);
    }
}

void X11IdleSource::stop()
{
    phase_ = Phase::Stopped;
    disarm(idle_alarm_);
    disarm(input_alarm_);
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

void X11IdleSource::handle(const xcb_generic_event_t& event)
{
    if ((event.response_type & 0x7F) != alarm_notify_) return;
    const auto& notify = reinterpret_cast<const xcb_sync_alarm_notify_event_t&>(event);
    const int64_t value = to_int64(notify.alarm_value);
    // An alarm changed after the server sent this is not what it reports.
    if (notify.alarm == idle_alarm_ && value == idle_value_ && phase_ == Phase::Waiting) {
        phase_ = Phase::Idle;
        disarm(idle_alarm_);
        arm(input_alarm_, XCB_SYNC_TESTTYPE_NEGATIVE_TRANSITION, to_int64(notify.counter_value) - 1);
        if (!screensaver_suspended() && on_idle) on_idle();
    } else if (notify.alarm == input_alarm_ && value == input_value_ && phase_ != Phase::Stopped) {
        phase_ = Phase::Waiting;
        disarm(input_alarm_);
        arm(idle_alarm_, XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON, delay_);
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
