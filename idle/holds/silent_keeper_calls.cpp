#include "idle/holds/silent_keeper_calls.h"

#include "idle/bus/bus_call.h"

#include <systemd/sd-bus.h>

#include <cstdlib>
#include <cstring>

namespace pellavin::idle {
namespace {

constexpr char kName[] = "org.freedesktop.ScreenSaver";

// What the watching connection is shown: the two calls, whoever they go to
// (only a program that serves the name answers them), the answers of
// whoever owns the name now, and the bus's news of names.
constexpr const char* kRules[] = {
    "type='method_call',interface='org.freedesktop.ScreenSaver',member='Inhibit'",
    "type='method_call',interface='org.freedesktop.ScreenSaver',member='UnInhibit'",
    "type='method_return',sender='org.freedesktop.ScreenSaver'",
    "type='error',sender='org.freedesktop.ScreenSaver'",
    "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',member='NameOwnerChanged'",
};

std::string session_bus_address()
{
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS")) return address;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime ? std::string("unix:path=") + runtime + "/bus" : "";
}

bool is(sd_bus_message* message, const char* member)
{
    const char* its = sd_bus_message_get_member(message);
    return its && std::strcmp(its, member) == 0;
}

std::string text(const char* maybe) { return maybe ? maybe : ""; }

}  // namespace

SilentKeeperCalls::~SilentKeeperCalls() { stop(); }

std::string SilentKeeperCalls::start()
{
    if (bus_) return "";
    const std::string address = session_bus_address();
    if (address.empty()) return "no session bus";
    sd_bus_message* call = nullptr;
    int r = sd_bus_new(&bus_);
    if (r >= 0) r = sd_bus_set_address(bus_, address.c_str());
    if (r >= 0) r = sd_bus_set_bus_client(bus_, 1);
    if (r >= 0) r = sd_bus_set_monitor(bus_, 1);
    if (r >= 0) r = sd_bus_start(bus_);
    if (r >= 0) {
        r = sd_bus_message_new_method_call(bus_, &call, "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus.Monitoring", "BecomeMonitor");
    }
    if (r >= 0) r = sd_bus_message_open_container(call, 'a', "s");
    for (const char* rule : kRules) {
        if (r >= 0) r = sd_bus_message_append(call, "s", rule);
    }
    if (r >= 0) r = sd_bus_message_close_container(call);
    if (r >= 0) r = sd_bus_message_append(call, "u", uint32_t{0});
    // Not waited for: a refusal comes back as an error, and ends the watching.
    if (r >= 0) r = sd_bus_send(bus_, call, &asked_);
    sd_bus_message_unref(call);
    if (r >= 0) return "";
    stop();
    return errno_text(r);
}

void SilentKeeperCalls::stop()
{
    if (bus_) sd_bus_flush_close_unref(bus_);
    bus_ = nullptr;
    watching_ = false;
    inhibits_.clear();
    holds_.clear();
    set_holds();
}

int SilentKeeperCalls::fd() const { return bus_ ? sd_bus_get_fd(bus_) : -1; }

short SilentKeeperCalls::events() const { return bus_events(bus_); }

int SilentKeeperCalls::timeout_ms() const { return bus_timeout_ms(bus_); }

bool SilentKeeperCalls::process()
{
    if (!bus_) return true;
    for (;;) {
        sd_bus_message* message = nullptr;
        const int r = sd_bus_process(bus_, &message);
        if (r < 0) {
            stop();
            return false;
        }
        if (message) {
            seen(message);
            sd_bus_message_unref(message);
        }
        if (!bus_) return false;  // refused
        if (r == 0) return true;
    }
}

void SilentKeeperCalls::seen(sd_bus_message* message)
{
    uint8_t type = 0;
    sd_bus_message_get_type(message, &type);
    const std::string sender = text(sd_bus_message_get_sender(message));
    if (type == SD_BUS_MESSAGE_METHOD_CALL && is(message, "Inhibit")) {
        uint64_t serial = 0;
        if (inhibits_.size() < kMost && sd_bus_message_get_cookie(message, &serial) >= 0) {
            inhibits_.insert({sender, serial});
        }
    } else if (type == SD_BUS_MESSAGE_METHOD_CALL && is(message, "UnInhibit")) {
        uint32_t cookie = 0;
        if (sd_bus_message_read(message, "u", &cookie) >= 0) holds_.erase({sender, cookie});
    } else if (type == SD_BUS_MESSAGE_METHOD_RETURN || type == SD_BUS_MESSAGE_METHOD_ERROR) {
        uint64_t serial = 0;
        uint32_t cookie = 0;
        const std::string caller = text(sd_bus_message_get_destination(message));
        if (sd_bus_message_get_reply_cookie(message, &serial) < 0) return;
        // The bus refusing to let this connection watch ends it.
        const char* self = nullptr;
        if (serial == asked_ && sd_bus_get_unique_name(bus_, &self) >= 0 && caller == text(self)) {
            if (type == SD_BUS_MESSAGE_METHOD_ERROR) stop();
            else watching_ = true;
            return;
        }
        if (inhibits_.erase({caller, serial}) == 0) return;
        if (type == SD_BUS_MESSAGE_METHOD_RETURN && holds_.size() < kMost
            && sd_bus_message_read(message, "u", &cookie) >= 0) {
            holds_.insert({caller, cookie});
        }
    } else if (type == SD_BUS_MESSAGE_SIGNAL && is(message, "NameOwnerChanged")) {
        const char* name = nullptr;
        const char* before = nullptr;
        const char* after = nullptr;
        if (sd_bus_message_read(message, "sss", &name, &before, &after) < 0) return;
        // The name changing hands ends every hold it had; a caller leaving, its own.
        if (std::strcmp(name, kName) == 0) {
            inhibits_.clear();
            holds_.clear();
        } else if (name[0] == ':' && *after == '\0') {
            std::erase_if(inhibits_, [&](const Call& call) { return call.first == name; });
            std::erase_if(holds_, [&](const Hold& hold) { return hold.first == name; });
        }
    }
    set_holds();
}

void SilentKeeperCalls::set_holds()
{
    const bool held = !holds_.empty();
    if (held == held_) return;
    held_ = held;
    if (on_held) on_held(held);
}

}  // namespace pellavin::idle
