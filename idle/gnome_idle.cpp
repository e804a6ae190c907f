#include "idle/gnome_idle.h"

#include "idle/bus_call.h"

#include <algorithm>

namespace pellavin::idle {
namespace {

constexpr char kName[] = "org.gnome.Mutter.IdleMonitor";
constexpr char kPath[] = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr char kInterface[] = "org.gnome.Mutter.IdleMonitor";

BusMethod method(const char* member) { return {kName, kPath, kInterface, member}; }

GnomeIdleSource& source_of(void* data) { return *static_cast<GnomeIdleSource*>(data); }

int on_watch_fired(sd_bus_message* signal, void* data, sd_bus_error*)
{
    uint32_t id = 0;
    if (sd_bus_message_read(signal, "u", &id) >= 0) source_of(data).watch_fired(id, sd_bus_message_get_sender(signal));
    return 0;
}

}  // namespace

GnomeIdleSource::GnomeIdleSource(Milliseconds timeout)
    : timeout_(timeout)
{
    int r = sd_bus_open_user(&bus_);
    if (r < 0) {
        bus_ = nullptr;
        throw NotOffered("no session bus (" + errno_text(r) + ")");
    }
    fd_ = sd_bus_get_fd(bus_);
    // Both in place before the first question, so that nothing is missed.
    r = sd_bus_match_signal_async(bus_, nullptr, nullptr, kPath, kInterface, "WatchFired", on_watch_fired, nullptr,
        this);
    if (r >= 0) r = watch_name_owner(bus_, kName, [this](const std::string& owner) { owner_changed(owner); });
    if (r < 0) {
        close();
        throw SessionError(std::string("cannot listen to ") + kName + " on the session bus: " + errno_text(r));
    }

    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const BusMethod get = method("GetIdletime");
    r = sd_bus_message_new_method_call(bus_, &call, get.destination, get.path, get.interface, get.member);
    if (r >= 0) r = sd_bus_message_set_auto_start(call, 0);
    if (r >= 0) r = sd_bus_call(bus_, call, static_cast<uint64_t>(timeout_.count()) * 1000, &error, &reply);
    uint64_t idle = 0;
    const char* sender = reply ? sd_bus_message_get_sender(reply) : nullptr;
    const bool absent = sd_bus_error_has_names(&error, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER);
    std::string problem;
    if (r < 0) {
        problem = std::string(kName) + " on the session bus does not answer GetIdletime ("
            + (error.message ? error.message : errno_text(r)) + ")";
    } else if (sd_bus_message_read(reply, "t", &idle) < 0 || !sender) {
        problem = std::string(kName) + " on the session bus answers GetIdletime with no idle time";
    } else {
        owner_ = sender;
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    if (problem.empty()) return;
    close();
    if (absent) throw NotOffered(std::string("nobody owns ") + kName + " on the session bus");
    throw SessionError(problem);
}

GnomeIdleSource::~GnomeIdleSource() { close(); }

void GnomeIdleSource::close()
{
    if (bus_) sd_bus_flush_close_unref(bus_);
    bus_ = nullptr;
}

void GnomeIdleSource::watch(Milliseconds delay, Count count)
{
    stop();
    delay_ = static_cast<uint64_t>(std::max<int64_t>(delay.count(), 1));
    if (count == Count::FromLastInput) {
        add_idle_watch(delay_);
        return;
    }
    // The count begins now: the delay on top of the idle time so far, and
    // back to the plain delay at the first input.
    const uint64_t generation = generation_;
    call_async(bus_, method("GetIdletime"), timeout_, [this, generation](sd_bus_message* reply) {
        uint64_t idle = 0;
        if (!answered(reply, "GetIdletime") || generation != generation_) return;
        if (sd_bus_message_read(reply, "t", &idle) < 0) idle = 0;
        add_idle_watch(idle + delay_);
        add_user_active_watch();
    }, nullptr);
}

void GnomeIdleSource::stop()
{
    ++generation_;
    remove_watch(idle_watch_);
    remove_watch(active_watch_);
}

void GnomeIdleSource::add_idle_watch(uint64_t interval)
{
    call_async(bus_, method("AddIdleWatch"), timeout_, added(&idle_watch_, "AddIdleWatch"), "t", interval);
}

void GnomeIdleSource::add_user_active_watch()
{
    call_async(bus_, method("AddUserActiveWatch"), timeout_, added(&active_watch_, "AddUserActiveWatch"), nullptr);
}

ReplyHandler GnomeIdleSource::added(uint32_t* watch, const char* member)
{
    return [this, watch, member, generation = generation_](sd_bus_message* reply) {
        uint32_t id = 0;
        if (!answered(reply, member) || sd_bus_message_read(reply, "u", &id) < 0) return;
        problem_said_ = false;
        if (generation == generation_) *watch = id;
        else remove_watch(id);  // watched no more since it was asked for
    };
}

void GnomeIdleSource::remove_watch(uint32_t& id)
{
    // A watch that is gone already (a user-active one fires once) is no
    // problem: the answer is not looked at.
    if (id != 0) call_async(bus_, method("RemoveWatch"), timeout_, [](sd_bus_message*) {}, "u", id);
    id = 0;
}

bool GnomeIdleSource::answered(sd_bus_message* reply, const char* member)
{
    const std::string error = reply_error(reply);
    if (error.empty()) return true;
    // Said again only once a watch has been set up in between.
    if (!problem_said_ && say) {
        say(std::string(kName) + " fails " + member + " (" + error + "): no game comes by itself until it answers");
    }
    problem_said_ = true;
    return false;
}

void GnomeIdleSource::watch_fired(uint32_t id, const char* sender)
{
    if (id == 0 || !sender || owner_ != sender) return;
    if (id == idle_watch_) {
        if (on_idle) on_idle();
    } else if (id == active_watch_) {
        // Input: from now on the plain delay, which the monitor itself
        // counts again after each input.
        active_watch_ = 0;
        remove_watch(idle_watch_);
        add_idle_watch(delay_);
    }
}

void GnomeIdleSource::owner_changed(const std::string& owner)
{
    if (owner != owner_) gone_ = true;
}

short GnomeIdleSource::events() const { return bus_events(bus_); }

int GnomeIdleSource::timeout_ms() const { return gone_ ? 0 : bus_timeout_ms(bus_); }

// sd-bus sends at once what it can; the rest waits for events()' POLLOUT.
void GnomeIdleSource::flush() {}

bool GnomeIdleSource::dispatch()
{
    int r = 0;
    while (!gone_ && (r = sd_bus_process(bus_, nullptr)) > 0) {
    }
    if (r < 0) gone_ = true;  // the bus itself has gone
    return !gone_;
}

}  // namespace pellavin::idle
