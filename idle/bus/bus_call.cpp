#include "idle/bus/bus_call.h"


#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace pellavin::idle {
namespace {

template <typename Handler> void free_handler(void* data) { delete static_cast<Handler*>(data); }

// The slot frees its handler, and lives as long as the bus does.
template <typename Handler> void float_slot(sd_bus_slot* slot)
{
    sd_bus_slot_set_destroy_callback(slot, free_handler<Handler>);
    sd_bus_slot_set_floating(slot, 1);
    sd_bus_slot_unref(slot);
}

}  // namespace

sd_bus* BusContext::bus() const { return connection.get(); }

int call_async(sd_bus* bus, sd_bus_message* call, Milliseconds timeout, ReplyHandler on_reply)
{
    auto* handler = new ReplyHandler(std::move(on_reply));
    sd_bus_slot* slot = nullptr;
    const auto on_message = [](sd_bus_message* reply, void* data, sd_bus_error*) {
        (*static_cast<ReplyHandler*>(data))(reply);
        return 0;
    };
    const int r = sd_bus_call_async(bus, &slot, call, on_message, handler,
        static_cast<uint64_t>(timeout.count()) * 1000);
    if (r < 0) {
        delete handler;
        return r;
    }
    float_slot<ReplyHandler>(slot);
    return r;
}

BusQuestion::BusQuestion(const BusContext& context, BusMethod method, std::string unanswered,
    std::vector<std::string> answers)
    : context_(context)
    , method_(method)
    , unanswered_(std::move(unanswered))
    , answers_(std::move(answers))
{
}

BusQuestion::~BusQuestion()
{
    cancel();
    for (Call& call : calls_) sd_bus_slot_unref(call.slot);
}

void BusQuestion::ask(ReplyHandler on_answer, Append append)
{
    cancel();
    ++serial_;
    on_answer_ = std::move(on_answer);
    append_ = std::move(append);
    send();
}

void BusQuestion::cancel()
{
    if (retry_) context_.timers.cancel(*retry_);
    retry_.reset();
    ++serial_;  // the calls on their way are asked again no more
}

void BusQuestion::send()
{
    sd_bus* bus = context_.bus();
    sd_bus_message* message = nullptr;
    int r = bus ? sd_bus_message_new_method_call(bus, &message, method_.destination, method_.path, method_.interface,
                      method_.member)
                : -ENOTCONN;
    if (r >= 0) r = sd_bus_message_set_auto_start(message, 0);
    if (r >= 0 && append_) r = append_(message);
    if (r >= 0) {
        const auto call = calls_.insert(calls_.end(), Call{this, serial_, on_answer_});
        const auto on_message = [](sd_bus_message* reply, void* data, sd_bus_error*) {
            auto* sent = static_cast<Call*>(data);
            BusQuestion* question = sent->question;
            for (auto it = question->calls_.begin(); it != question->calls_.end(); ++it) {
                if (&*it == sent) {
                    question->replied(it, reply);
                    break;
                }
            }
            return 0;
        };
        r = sd_bus_call_async(bus, &call->slot, message, on_message, &*call,
            static_cast<uint64_t>(context_.timeout.count()) * 1000);
        if (r < 0) calls_.erase(call);
    }
    sd_bus_message_unref(message);
    if (r < 0) retry(errno_text(r));
}

void BusQuestion::replied(std::list<Call>::iterator call, sd_bus_message* reply)
{
    // The slot goes once its handler is done; the call is forgotten now.
    sd_bus_slot* slot = call->slot;
    const uint64_t serial = call->serial;
    const ReplyHandler on_answer = std::move(call->on_answer);
    calls_.erase(call);
    const std::string error = reply_error(reply);
    if (has_no_such_thing(reply)) {
        if (serial == serial_) backoff_.reset();
        sd_bus_slot_unref(slot);
        return;
    }
    const bool answer = error.empty() || is_no_owner(reply)
        || std::any_of(answers_.begin(), answers_.end(),
            [reply](const std::string& name) { return sd_bus_message_is_method_error(reply, name.c_str()); });
    if (answer) {
        if (serial == serial_) backoff_.reset();
        on_answer(reply);
    } else if (serial == serial_) {
        retry(error);
    }
    sd_bus_slot_unref(slot);
}

void BusQuestion::failed(const std::string& why) { retry(why); }

void BusQuestion::retry(const std::string& why)
{
    context_.say(std::string(method_.destination) + " fails " + method_.member + " (" + why + "): " + unanswered_
        + "; asked again until it answers");
    if (retry_) context_.timers.cancel(*retry_);
    retry_ = context_.timers.after(backoff_.next(), [this] {
        retry_.reset();
        send();
    });
}

std::string reply_error(sd_bus_message* reply)
{
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    if (!error) return "";
    // sd-bus words its own errors (a time-out, a closed connection) well;
    // a service's need their name.
    const std::string name = error->name ? error->name : "";
    const std::string message = error->message ? error->message : "";
    if (name.rfind("org.freedesktop.DBus.Error.", 0) == 0 && !message.empty()) return message;
    return message.empty() ? name : name + ": " + message;
}

bool is_no_owner(sd_bus_message* reply)
{
    return sd_bus_message_is_method_error(reply, SD_BUS_ERROR_SERVICE_UNKNOWN)
        || sd_bus_message_is_method_error(reply, SD_BUS_ERROR_NAME_HAS_NO_OWNER);
}

bool has_no_such_thing(sd_bus_message* reply)
{
    for (const char* name : {SD_BUS_ERROR_NOT_SUPPORTED, SD_BUS_ERROR_UNKNOWN_METHOD, SD_BUS_ERROR_UNKNOWN_OBJECT,
             SD_BUS_ERROR_UNKNOWN_INTERFACE, SD_BUS_ERROR_UNKNOWN_PROPERTY}) {
        if (sd_bus_message_is_method_error(reply, name)) return true;
    }
    return false;
}

std::string name_owner(sd_bus* bus, const char* name)
{
    sd_bus_creds* creds = nullptr;
    const char* unique = nullptr;
    if (!bus || sd_bus_get_name_creds(bus, name, SD_BUS_CREDS_UNIQUE_NAME, &creds) < 0) return "";
    std::string owner = sd_bus_creds_get_unique_name(creds, &unique) >= 0 && unique ? unique : "";
    sd_bus_creds_unref(creds);
    return owner;
}

short bus_events(sd_bus* bus) { return bus ? static_cast<short>(sd_bus_get_events(bus)) : 0; }

int bus_timeout_ms(sd_bus* bus)
{
    uint64_t until = UINT64_MAX;
    if (!bus || sd_bus_get_timeout(bus, &until) < 0 || until == UINT64_MAX) return -1;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t now_us = static_cast<uint64_t>(now.tv_sec) * 1'000'000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
    return until <= now_us ? 0 : static_cast<int>((until - now_us + 999) / 1000);
}

BusSlots::~BusSlots()
{
    for (sd_bus_slot* slot : slots_) sd_bus_slot_unref(slot);
}

int watch_name_owner(sd_bus* bus, BusSlots& slots, const char* name,
    std::function<void(const std::string& owner)> on_change)
{
    using OwnerHandler = std::function<void(const std::string&)>;
    auto* handler = new OwnerHandler(std::move(on_change));
    const std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
                                         "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='")
        + name + "'";
    const auto on_signal = [](sd_bus_message* signal, void* data, sd_bus_error*) {
        const char* changed = nullptr;
        const char* old_owner = nullptr;
        const char* new_owner = nullptr;
        if (sd_bus_message_read(signal, "sss", &changed, &old_owner, &new_owner) >= 0) {
            (*static_cast<OwnerHandler*>(data))(new_owner);
        }
        return 0;
    };
    sd_bus_slot** slot = slots.add();
    // Installed without waiting for the bus's answer: the loop goes on.
    const int r = sd_bus_add_match_async(bus, slot, rule.c_str(), on_signal, nullptr, handler);
    if (r < 0) {
        delete handler;
        return r;
    }
    sd_bus_slot_set_destroy_callback(*slot, free_handler<OwnerHandler>);
    return r;
}

std::string errno_text(int negative_errno) { return std::strerror(-negative_errno); }

}  // namespace pellavin::idle
