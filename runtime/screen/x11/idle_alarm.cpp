#include "runtime/screen/x11/idle_alarm.h"

#include "runtime/screen/x11/reply.h"

#include <cstring>
#include <string_view>

namespace pellavin::screen {
namespace {

xcb_sync_int64_t to_sync(int64_t value)
{
    return {static_cast<int32_t>(value >> 32), static_cast<uint32_t>(value & 0xFFFFFFFF)};
}

constexpr std::string_view kIdleCounter = "IDLETIME";

// libxcb's iterator over the system counters assumes a padded record, but
// each one is a 14-byte header and its name, padded to four bytes as a
// whole; walk the list by hand.
xcb_sync_counter_t find_counter(const xcb_sync_list_system_counters_reply_t& list, std::string_view name)
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
        if (std::string_view(reinterpret_cast<const char*>(at + kHeader), length) == name) return counter;
        at += (kHeader + length + 3) & ~size_t{3};
    }
    return 0;
}

}  // namespace

xcb_sync_counter_t find_idle_counter(xcb_connection_t* connection)
{
    const xcb_query_extension_reply_t* sync = xcb_get_extension_data(connection, &xcb_sync_id);
    if (!sync || !sync->present) return 0;
    // Both asked at once: the server takes them in order.
    const auto version = xcb_sync_initialize(connection, 3, 1);
    const auto list = xcb_sync_list_system_counters(connection);
    Reply<xcb_sync_initialize_reply_t> initialized(xcb_sync_initialize_reply(connection, version, nullptr));
    Reply<xcb_sync_list_system_counters_reply_t> counters(xcb_sync_list_system_counters_reply(connection, list, nullptr));
    return initialized && counters ? find_counter(*counters, kIdleCounter) : 0;
}

uint8_t alarm_notify_type(xcb_connection_t* connection)
{
    const xcb_query_extension_reply_t* sync = xcb_get_extension_data(connection, &xcb_sync_id);
    return sync && sync->present ? sync->first_event + XCB_SYNC_ALARM_NOTIFY : 0;
}

int64_t to_int64(xcb_sync_int64_t value)
{
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(value.hi)) << 32) | value.lo);
}

// It starts without events; arm() gives it its test.
IdleAlarm::IdleAlarm(xcb_connection_t* connection, xcb_sync_counter_t idle_counter)
    : connection_(connection)
    , alarm_(xcb_generate_id(connection))
{
    const xcb_sync_create_alarm_value_list_t values{idle_counter, XCB_SYNC_VALUETYPE_ABSOLUTE, to_sync(0),
        XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON, to_sync(0), 0};
    xcb_sync_create_alarm_aux(connection_, alarm_,
        XCB_SYNC_CA_COUNTER | XCB_SYNC_CA_VALUE_TYPE | XCB_SYNC_CA_VALUE | XCB_SYNC_CA_TEST_TYPE | XCB_SYNC_CA_DELTA
            | XCB_SYNC_CA_EVENTS,
        &values);
}

IdleAlarm::~IdleAlarm() { xcb_sync_destroy_alarm(connection_, alarm_); }

void IdleAlarm::arm(xcb_sync_testtype_t test, int64_t value)
{
    value_ = value;
    xcb_sync_change_alarm_value_list_t values{};
    values.value = to_sync(value);
    values.testType = test;
    values.events = 1;
    xcb_sync_change_alarm_aux(connection_, alarm_, XCB_SYNC_CA_VALUE | XCB_SYNC_CA_TEST_TYPE | XCB_SYNC_CA_EVENTS,
        &values);
}

void IdleAlarm::disarm()
{
    value_ = -1;
    xcb_sync_change_alarm_value_list_t values{};
    values.events = 0;
    xcb_sync_change_alarm_aux(connection_, alarm_, XCB_SYNC_CA_EVENTS, &values);
}

bool IdleAlarm::fired(const xcb_sync_alarm_notify_event_t& event) const
{
    return event.alarm == alarm_ && value_ >= 0 && to_int64(event.alarm_value) == value_;
}

}  // namespace pellavin::screen
