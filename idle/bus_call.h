#pragma once

#include "idle/idle_source.h"

#include <systemd/sd-bus.h>

#include <functional>
#include <string>

namespace pellavin::idle {

// How long the watcher waits for another program's answer on the session
// bus: a stalled service must never hold up the loop for long.
constexpr Milliseconds kBusCallTimeout{3000};

// One method of another program on the session bus.
struct BusMethod {
    const char* destination;
    const char* path;
    const char* interface;
    const char* member;
};

// Gets the reply, or the error that came instead: the service's own, or a
// time-out.
using ReplyHandler = std::function<void(sd_bus_message* reply)>;

// Sends `call` without waiting; `on_reply` runs from sd_bus_process() with
// the outcome. Returns a negative errno when it could not be sent.
int call_async(sd_bus* bus, sd_bus_message* call, Milliseconds timeout, ReplyHandler on_reply);

// A call to `method` with its arguments appended as sd_bus_message_append()
// takes them. A name that nobody owns is not started on the way.
template <typename... Args>
int call_async(sd_bus* bus, const BusMethod& method, Milliseconds timeout, ReplyHandler on_reply, const char* types,
    Args... args)
{
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(bus, &call, method.destination, method.path, method.interface,
        method.member);
    if (r >= 0) r = sd_bus_message_set_auto_start(call, 0);
    if (r >= 0 && types) r = sd_bus_message_append(call, types, args...);
    if (r >= 0) r = call_async(bus, call, timeout, std::move(on_reply));
    sd_bus_message_unref(call);
    return r;
}

// The error a reply carries, as one line ("Connection timed out",
// "org.freedesktop.DBus.Error.UnknownMethod: …"); empty for a reply that
// is none.
std::string reply_error(sd_bus_message* reply);

// Whether an error means that nobody owns the name called.
bool is_no_owner(sd_bus_message* reply);

// For the watcher's poll(): what to wait for on the bus's descriptor, and
// how long at most before sd_bus_process() is due (-1: no limit).
short bus_events(sd_bus* bus);
int bus_timeout_ms(sd_bus* bus);

// A match on NameOwnerChanged for one well-known name; `on_change` gets
// the new owner ("" when it left).
int watch_name_owner(sd_bus* bus, const char* name, std::function<void(const std::string& owner)> on_change);

std::string errno_text(int negative_errno);

}  // namespace pellavin::idle
