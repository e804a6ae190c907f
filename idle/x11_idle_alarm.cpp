#include "idle/x11_idle_alarm.h"

namespace pellavin::idle {
namespace {

xcb_sync_int64_t to_sync(int64_t value)
{
    return {static_cast<int32_t>(value >> 32), static_cast<uint32_t>(value & 0xFFFFFFFF)};
}

}  // namespace

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

}  // namespace pellavin::idle
