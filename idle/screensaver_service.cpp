#include "idle/screensaver_service.h"

#include "idle/bus_call.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <poll.h>

namespace pellavin::idle {
namespace {

constexpr char kName[] = "org.freedesktop.ScreenSaver";
// Programs call one path or the other.
constexpr const char* kPaths[] = {"/org/freedesktop/ScreenSaver", "/ScreenSaver"};

ScreenSaverService& service_of(void* data) { return *static_cast<ScreenSaverService*>(data); }

int on_inhibit(sd_bus_message* call, void* data, sd_bus_error*) { return service_of(data).inhibit(call); }
int on_uninhibit(sd_bus_message* call, void* data, sd_bus_error*) { return service_of(data).uninhibit(call); }

int on_caller_left(sd_bus_track* track, void* data)
{
    service_of(data).caller_left(track);
    return 0;
}

int on_name_lost(sd_bus_message* signal, void* data, sd_bus_error*)
{
    const char* name = nullptr;
    if (sd_bus_message_read(signal, "s", &name) >= 0 && std::strcmp(name, kName) == 0) service_of(data).name_lost();
    return 0;
}

const sd_bus_vtable kInterface[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "ss", "u", on_inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("UnInhibit", "u", "", on_uninhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

std::string reason(int negative_errno) { return std::strerror(-negative_errno); }

}  // namespace

ScreenSaverService::ScreenSaverService(Say say)
    : say_(std::move(say))
{
    int r = sd_bus_open_user(&bus_);
    if (r < 0) {
        bus_ = nullptr;
        say_("no session bus (" + reason(r) + "): programs cannot hold the game off through " + kName);
        return;
    }
    for (const char* path : kPaths) {
        if (r >= 0) r = sd_bus_add_object_vtable(bus_, nullptr, path, kName, kInterface, this);
    }
    if (r >= 0) {
        r = sd_bus_match_signal(bus_, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus", "NameLost", on_name_lost, this);
    }
    // Never queued for the name: a program that holds it is the one to ask.
    if (r >= 0) r = sd_bus_request_name(bus_, kName, SD_BUS_NAME_ALLOW_REPLACEMENT);
    if (r == -EEXIST) {
        leave_bus(std::string(kName) + " belongs to another program: holds go to that one");
    } else if (r < 0) {
        leave_bus(std::string("cannot offer ") + kName + " on the session bus: " + reason(r));
    }
}

ScreenSaverService::~ScreenSaverService()
{
    for (auto& [name, caller] : callers_) sd_bus_track_unref(caller.track);
    if (bus_) sd_bus_flush_close_unref(bus_);
}

int ScreenSaverService::fd() const { return bus_ ? sd_bus_get_fd(bus_) : -1; }

short ScreenSaverService::events() const { return bus_events(bus_); }

int ScreenSaverService::timeout_ms() const { return bus_timeout_ms(bus_); }

void ScreenSaverService::process()
{
    int r = 0;
    while (bus_ && !lost_ && (r = sd_bus_process(bus_, nullptr)) > 0) {
    }
    // Left only here, outside the bus's own handlers.
    if (lost_) leave_bus(std::string("another program has taken ") + kName + ": holds go to that one");
    else if (r < 0) leave_bus("the session bus has gone (" + reason(r) + ")");
}

int ScreenSaverService::inhibit(sd_bus_message* call)
{
    const char* application = nullptr;
    const char* why = nullptr;
    int r = sd_bus_message_read(call, "ss", &application, &why);
    if (r < 0) return r;
    const std::string sender = sd_bus_message_get_sender(call);
    Caller& caller = callers_[sender];
    if (!caller.track) {
        r = sd_bus_track_new(bus_, &caller.track, on_caller_left, this);
        if (r >= 0) r = sd_bus_track_add_name(caller.track, sender.c_str());
        if (r < 0) {
            sd_bus_track_unref(caller.track);
            callers_.erase(sender);
            return r;
        }
    }
    const uint32_t cookie = next_cookie_++;
    cookies_[cookie] = sender;
    ++caller.holds;
    set_holds(cookies_.size());
    return sd_bus_reply_method_return(call, "u", cookie);
}

int ScreenSaverService::uninhibit(sd_bus_message* call)
{
    uint32_t cookie = 0;
    const int r = sd_bus_message_read(call, "u", &cookie);
    if (r < 0) return r;
    // An unknown cookie is already released: nothing to complain about.
    release(cookie);
    return sd_bus_reply_method_return(call, "");
}

void ScreenSaverService::release(uint32_t cookie)
{
    const auto held = cookies_.find(cookie);
    if (held == cookies_.end()) return;
    const auto caller = callers_.find(held->second);
    cookies_.erase(held);
    if (caller != callers_.end() && --caller->second.holds == 0) {
        sd_bus_track_unref(caller->second.track);
        callers_.erase(caller);
    }
    set_holds(cookies_.size());
}

void ScreenSaverService::caller_left(sd_bus_track* track)
{
    for (auto caller = callers_.begin(); caller != callers_.end(); ++caller) {
        if (caller->second.track != track) continue;
        std::erase_if(cookies_, [&](const auto& held) { return held.second == caller->first; });
        sd_bus_track_unref(track);
        callers_.erase(caller);
        break;
    }
    set_holds(cookies_.size());
}

void ScreenSaverService::name_lost() { lost_ = true; }

void ScreenSaverService::set_holds(size_t count)
{
    const bool held = count > 0;
    if (held == held_) return;
    held_ = held;
    if (on_held) on_held(held);
}

void ScreenSaverService::leave_bus(const std::string& why)
{
    say_(why);
    for (auto& [name, caller] : callers_) sd_bus_track_unref(caller.track);
    callers_.clear();
    cookies_.clear();
    sd_bus_flush_close_unref(bus_);
    bus_ = nullptr;
    lost_ = false;
    set_holds(0);
}

}  // namespace pellavin::idle
