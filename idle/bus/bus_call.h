#pragma once

#include "idle/bus/bus_connection.h"
#include "idle/rules/idle_source.h"
#include "idle/rules/say_once.h"
#include "idle/rules/timers.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <vector>

namespace pellavin::idle {

// How long the watcher waits for another program's answer on a bus: a
// stalled service must never hold up the loop for long.
constexpr Milliseconds kBusCallTimeout{3000};

// One method of another program on a bus.
struct BusMethod {
    const char* destination;
    const char* path;
    const char* interface;
    const char* member;
};

// What the parts that speak on one bus share: the connection, the loop's
// timers and the voice that says each problem once.
struct BusContext {
    BusConnection& connection;
    Timers& timers;
    SayOnce& say;
    Milliseconds timeout = kBusCallTimeout;

    sd_bus* bus() const;
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

// A question to another program that is asked until it is answered: a call
// that fails or is not answered in time is said (once for each kind of
// failure) and sent again after a growing pause. The service not being on
// the bus at all is an answer too: the part then waits for it to come. So
// is a service that says it has no such thing (has_no_such_thing()): the
// part learns nothing from it, follows its signals only and asks nothing
// again.
class BusQuestion {
public:
    using Append = std::function<int(sd_bus_message* call)>;

    // `unanswered` says what the watcher does without the answer, for the
    // line that says it failed. Errors named in `answers` are answers (the
    // service saying there is nothing to ask about), not failures.
    BusQuestion(const BusContext& context, BusMethod method, std::string unanswered,
        std::vector<std::string> answers = {});
    ~BusQuestion();
    BusQuestion(const BusQuestion&) = delete;
    BusQuestion& operator=(const BusQuestion&) = delete;

    // Sends the question now, its arguments put by `append`. Replaces the
    // last ask in what is asked again; an earlier ask's answer still comes
    // to its own `on_answer`, so that a part can undo what it set up.
    void ask(ReplyHandler on_answer, Append append = {});
    // The answer made no sense (`why`): asked again as after a failure.
    void failed(const std::string& why);
    // Nothing more is asked again.
    void cancel();

private:
    struct Call {
        BusQuestion* question;
        uint64_t serial;
        ReplyHandler on_answer;
        sd_bus_slot* slot = nullptr;
    };

    void send();
    void replied(std::list<Call>::iterator call, sd_bus_message* reply);
    void retry(const std::string& why);

    BusContext context_;
    BusMethod method_;
    std::string unanswered_;
    std::vector<std::string> answers_;
    ReplyHandler on_answer_;
    Append append_;
    uint64_t serial_ = 0;  // of the last ask, the one asked again
    std::list<Call> calls_;
    Backoff backoff_;
    std::optional<Timers::Id> retry_;
};

// The error a reply carries, as one line ("Connection timed out",
// "org.freedesktop.DBus.Error.UnknownMethod: …"); empty for a reply that
// is none.
std::string reply_error(sd_bus_message* reply);

// Whether an error means that nobody owns the name called.
bool is_no_owner(sd_bus_message* reply);

// Whether an error means that the service has no such method, object or
// state at all (NotSupported, UnknownMethod, UnknownObject, ...): asked
// again, it would only say so again.
bool has_no_such_thing(sd_bus_message* reply);

// The unique name that owns `name` now; empty when nobody does. Asked of
// the bus itself, which always answers at once.
std::string name_owner(sd_bus* bus, const char* name);

// For the watcher's poll(): what to wait for on the bus's descriptor, and
// how long at most before sd_bus_process() is due (-1: no limit).
short bus_events(sd_bus* bus);
int bus_timeout_ms(sd_bus* bus);

// What a part has put on the bus (its matches, its objects), taken off
// when the part goes, so that nothing on the bus calls a part that is gone.
class BusSlots {
public:
    BusSlots() = default;
    ~BusSlots();
    BusSlots(const BusSlots&) = delete;
    BusSlots& operator=(const BusSlots&) = delete;

    // Where sd-bus puts one more.
    sd_bus_slot** add() { return &slots_.emplace_back(nullptr); }

private:
    std::list<sd_bus_slot*> slots_;
};

// A match on NameOwnerChanged for one well-known name, kept in `slots`;
// `on_change` gets the new owner ("" when it left).
int watch_name_owner(sd_bus* bus, BusSlots& slots, const char* name,
    std::function<void(const std::string& owner)> on_change);

std::string errno_text(int negative_errno);

}  // namespace pellavin::idle
