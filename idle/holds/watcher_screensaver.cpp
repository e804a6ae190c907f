#include "idle/holds/watcher_screensaver.h"

#include <systemd/sd-bus.h>

#include <cstring>
#include <sys/random.h>

namespace pellavin::idle {
namespace {

constexpr char kName[] = "org.freedesktop.ScreenSaver";
// Programs call one path or the other.
constexpr const char* kPaths[] = {"/org/freedesktop/ScreenSaver", "/ScreenSaver"};

WatcherScreenSaver& service_of(void* data) { return *static_cast<WatcherScreenSaver*>(data); }

int on_inhibit(sd_bus_message* call, void* data, sd_bus_error* error) { return service_of(data).inhibit(call, error); }
int on_uninhibit(sd_bus_message* call, void* data, sd_bus_error*) { return service_of(data).uninhibit(call); }
int on_get_active(sd_bus_message* call, void* data, sd_bus_error*) { return service_of(data).get_active(call); }
int on_set_active(sd_bus_message* call, void* data, sd_bus_error*) { return service_of(data).set_active(call); }

int on_get_active_time(sd_bus_message* call, void* data, sd_bus_error*)
{
    return service_of(data).get_active_time(call);
}

int on_get_session_idle_time(sd_bus_message* call, void* data, sd_bus_error*)
{
    return service_of(data).get_session_idle_time(call);
}

int on_simulate_user_activity(sd_bus_message* call, void* data, sd_bus_error*)
{
    return service_of(data).simulate_user_activity(call);
}

int on_lock(sd_bus_message*, void*, sd_bus_error* error)
{
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED,
        "Pellavin's screensaver locks nothing: the desktop's own lock does");
}

int on_caller_left(sd_bus_track* track, void* data)
{
    service_of(data).caller_left(track);
    return 0;
}

int on_name_changed(sd_bus_message* signal, void* data, sd_bus_error*)
{
    const char* name = nullptr;
    if (sd_bus_message_read(signal, "s", &name) < 0 || std::strcmp(name, kName) != 0) return 0;
    service_of(data).name_lost();
    return 0;
}

const sd_bus_vtable kInterface[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "ss", "u", on_inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("UnInhibit", "u", "", on_uninhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetActive", "", "b", on_get_active, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetActive", "b", "b", on_set_active, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetActiveTime", "", "u", on_get_active_time, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetSessionIdleTime", "", "u", on_get_session_idle_time, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SimulateUserActivity", "", "", on_simulate_user_activity, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Lock", "", "", on_lock, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("ActiveChanged", "b", 0),
    SD_BUS_VTABLE_END,
};

uint32_t seconds(std::chrono::steady_clock::duration time)
{
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(time).count());
}

}  // namespace

WatcherScreenSaver::WatcherScreenSaver(const BusContext& context)
    : context_(context)
{
    sd_bus* bus = context_.bus();
    if (!bus) {
        context_.say(context_.connection.problem() + ": programs cannot hold the game off through " + kName);
        return;
    }
    int r = 0;
    for (const char* path : kPaths) {
        if (r >= 0) r = sd_bus_add_object_vtable(bus, slots_.add(), path, kName, kInterface, this);
    }
    if (r >= 0) {
        r = sd_bus_match_signal(bus, slots_.add(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus", "NameLost", on_name_changed, this);
    }
    if (r < 0) context_.say(std::string("cannot offer ") + kName + " on the session bus: " + errno_text(r));
    ready_ = r >= 0;
}

void WatcherScreenSaver::offer()
{
    if (!ready_) return;
    // Never in the name's queue: a program that has it keeps it, and holds go to that one.
    const int r = sd_bus_request_name(context_.bus(), kName, SD_BUS_NAME_ALLOW_REPLACEMENT);
    if (r > 0) owned_ = true;
    else if (r != -EEXIST) context_.say(std::string("cannot offer ") + kName + " on the session bus: " + errno_text(r));
}

void WatcherScreenSaver::give_way()
{
    if (!owned_) return;
    sd_bus_release_name(context_.bus(), kName);
    owned_ = false;
    forget_callers();
    set_holds(0);
}

WatcherScreenSaver::~WatcherScreenSaver() { forget_callers(); }

int WatcherScreenSaver::inhibit(sd_bus_message* call, sd_bus_error* error)
{
    const char* application = nullptr;
    const char* why = nullptr;
    int r = sd_bus_message_read(call, "ss", &application, &why);
    if (r < 0) return r;
    const std::string sender = sd_bus_message_get_sender(call);
    Caller& caller = callers_[sender];
    if (caller.holds >= kMostHolds) {
        return sd_bus_error_setf(error, SD_BUS_ERROR_LIMITS_EXCEEDED,
            "a connection holds the screensaver off at most %zu times at once", kMostHolds);
    }
    if (!caller.track) {
        r = sd_bus_track_new(context_.bus(), &caller.track, on_caller_left, this);
        if (r >= 0) r = sd_bus_track_add_name(caller.track, sender.c_str());
        if (r < 0) {
            sd_bus_track_unref(caller.track);
            callers_.erase(sender);
            return r;
        }
    }
    const uint32_t cookie = new_cookie();
    cookies_[cookie] = sender;
    ++caller.holds;
    set_holds(cookies_.size());
    if (on_hold) on_hold(cookie, application, why);
    return sd_bus_reply_method_return(call, "u", cookie);
}

// Unpredictable, so that no program can end another's hold by guessing.
uint32_t WatcherScreenSaver::new_cookie() const
{
    uint32_t cookie = 0;
    while (cookie == 0 || cookies_.contains(cookie)) {
        if (getrandom(&cookie, sizeof cookie, 0) != sizeof cookie) cookie = 0;
    }
    return cookie;
}

int WatcherScreenSaver::uninhibit(sd_bus_message* call)
{
    uint32_t cookie = 0;
    const int r = sd_bus_message_read(call, "u", &cookie);
    if (r < 0) return r;
    // An unknown cookie, or another connection's, is answered alike: it
    // changes nothing and tells nothing of the holds there are.
    const auto held = cookies_.find(cookie);
    if (held != cookies_.end() && held->second == sd_bus_message_get_sender(call)) release(cookie);
    return sd_bus_reply_method_return(call, "");
}

void WatcherScreenSaver::release(uint32_t cookie)
{
    const auto held = cookies_.find(cookie);
    if (held == cookies_.end()) return;
    const auto caller = callers_.find(held->second);
    cookies_.erase(held);
    if (on_release) on_release(cookie);
    if (caller != callers_.end() && --caller->second.holds == 0) {
        sd_bus_track_unref(caller->second.track);
        callers_.erase(caller);
    }
    set_holds(cookies_.size());
}

void WatcherScreenSaver::caller_left(sd_bus_track* track)
{
    for (auto caller = callers_.begin(); caller != callers_.end(); ++caller) {
        if (caller->second.track != track) continue;
        std::erase_if(cookies_, [&](const auto& held) {
            if (held.second != caller->first) return false;
            if (on_release) on_release(held.first);
            return true;
        });
        sd_bus_track_unref(track);
        callers_.erase(caller);
        break;
    }
    set_holds(cookies_.size());
}

int WatcherScreenSaver::get_active(sd_bus_message* call)
{
    return sd_bus_reply_method_return(call, "b", game.shows && game.shows());
}

int WatcherScreenSaver::set_active(sd_bus_message* call)
{
    int active = 0;
    const int r = sd_bus_message_read(call, "b", &active);
    if (r < 0) return r;
    bool done = true;
    if (active) done = game.start && game.start();
    else if (game.end) game.end();
    return sd_bus_reply_method_return(call, "b", done);
}

int WatcherScreenSaver::get_active_time(sd_bus_message* call)
{
    return sd_bus_reply_method_return(call, "u", shown_since_ ? seconds(Clock::now() - *shown_since_) : 0);
}

// Answered once the session says; GNOME's idle monitor answers on the bus.
int WatcherScreenSaver::get_session_idle_time(sd_bus_message* call)
{
    if (!game.idle_time) return sd_bus_reply_method_return(call, "u", uint32_t{0});
    sd_bus_message_ref(call);
    game.idle_time([call](std::optional<Milliseconds> idle) {
        if (idle) {
            sd_bus_reply_method_return(call, "u", seconds(*idle));
        } else {
            sd_bus_reply_method_errorf(call, SD_BUS_ERROR_NOT_SUPPORTED, "this session does not tell its idle time");
        }
        sd_bus_message_unref(call);
    });
    return 1;
}

int WatcherScreenSaver::simulate_user_activity(sd_bus_message* call)
{
    if (game.user_active) game.user_active();
    return sd_bus_reply_method_return(call, "");
}

void WatcherScreenSaver::game_shows(bool shows)
{
    if (shows) shown_since_ = Clock::now();
    else shown_since_.reset();
    if (!owned_) return;
    for (const char* path : kPaths) sd_bus_emit_signal(context_.bus(), path, kName, "ActiveChanged", "b", shows);
}

void WatcherScreenSaver::name_lost()
{
    if (!owned_) return;
    owned_ = false;
    context_.say(std::string("another program has taken ") + kName + ": holds go to that one");
    forget_callers();
    set_holds(0);
}

void WatcherScreenSaver::forget_callers()
{
    for (auto& [name, caller] : callers_) sd_bus_track_unref(caller.track);
    for (const auto& [cookie, caller] : cookies_) {
        if (on_release) on_release(cookie);
    }
    callers_.clear();
    cookies_.clear();
}

void WatcherScreenSaver::set_holds(size_t count)
{
    const bool held = count > 0;
    if (held == held_) return;
    held_ = held;
    if (on_held) on_held(held);
}

}  // namespace pellavin::idle
