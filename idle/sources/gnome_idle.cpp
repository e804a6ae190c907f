#include "idle/sources/gnome_idle.h"

#include "idle/bus/bus_call.h"

#include <algorithm>

namespace pellavin::idle {
namespace {

constexpr char kName[] = "org.gnome.Mutter.IdleMonitor";
constexpr char kPath[] = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr char kInterface[] = "org.gnome.Mutter.IdleMonitor";
constexpr char kNoGame[] = "no game comes by itself until it does";

BusMethod method(const char* member) { return {kName, kPath, kInterface, member}; }

GnomeIdleSource& source_of(void* data) { return *static_cast<GnomeIdleSource*>(data); }

int on_watch_fired(sd_bus_message* signal, void* data, sd_bus_error*)
{
    uint32_t id = 0;
    if (sd_bus_message_read(signal, "u", &id) >= 0) source_of(data).watch_fired(id, sd_bus_message_get_sender(signal));
    return 0;
}

}  // namespace

GnomeIdleSource::GnomeIdleSource(const BusContext& context)
    : context_(context)
    , get_idle_time_(context, method("GetIdletime"), kNoGame)
    , add_idle_watch_(context, method("AddIdleWatch"), kNoGame)
    , add_user_active_watch_(context, method("AddUserActiveWatch"), kNoGame)
{
    sd_bus* bus = context_.bus();
    if (!bus) throw NotOffered(context_.connection.problem());
    // Both in place before the monitor is looked for, so that nothing is missed.
    int r = sd_bus_match_signal_async(bus, slots_.add(), nullptr, kPath, kInterface, "WatchFired", on_watch_fired, nullptr,
        this);
    if (r >= 0) r = watch_name_owner(bus, slots_, kName, [this](const std::string& owner) { owner_changed(owner); });
    if (r < 0) throw SessionError(std::string("cannot listen to ") + kName + " on the session bus: " + errno_text(r));
    owner_ = name_owner(bus, kName);
    if (owner_.empty()) throw NotOffered(std::string("nobody owns ") + kName + " on the session bus");
}

void GnomeIdleSource::watch(Milliseconds delay, Count count)
{
    stop();
    delay_ = static_cast<uint64_t>(std::max<int64_t>(delay.count(), 1));
    switch (count) {
    case Count::FromLastInput: add_idle_watch(delay_); break;
    case Count::AfterInput: add_user_active_watch(); break;
    case Count::FromNow:
        // The count begins now: the delay on top of the idle time so far,
        // and back to the plain delay at the first input.
        get_idle_time_.ask([this, generation = generation_](sd_bus_message* reply) {
            uint64_t idle = 0;
            if (generation != generation_ || is_no_owner(reply)) return;
            if (sd_bus_message_read(reply, "t", &idle) < 0) return get_idle_time_.failed("no idle time in its answer");
            add_idle_watch(idle + delay_);
            add_user_active_watch();
        });
        break;
    }
}

void GnomeIdleSource::stop()
{
    ++generation_;
    get_idle_time_.cancel();
    add_idle_watch_.cancel();
    add_user_active_watch_.cancel();
    remove_watch(idle_watch_);
    remove_watch(active_watch_);
}

void GnomeIdleSource::idle_time(std::function<void(std::optional<Milliseconds>)> answer)
{
    const auto on_reply = [answer](sd_bus_message* reply) {
        uint64_t idle = 0;
        if (!reply_error(reply).empty() || sd_bus_message_read(reply, "t", &idle) < 0) return answer(std::nullopt);
        answer(Milliseconds(idle));
    };
    if (call_async(context_.bus(), method("GetIdletime"), context_.timeout, on_reply, nullptr) < 0) answer(std::nullopt);
}

void GnomeIdleSource::add_idle_watch(uint64_t interval)
{
    add_idle_watch_.ask(added(&idle_watch_), [interval](sd_bus_message* call) {
        return sd_bus_message_append(call, "t", interval);
    });
}

void GnomeIdleSource::add_user_active_watch() { add_user_active_watch_.ask(added(&active_watch_)); }

ReplyHandler GnomeIdleSource::added(uint32_t* watch)
{
    return [this, watch, generation = generation_](sd_bus_message* reply) {
        uint32_t id = 0;
        if (is_no_owner(reply) || sd_bus_message_read(reply, "u", &id) < 0) return;
        if (generation == generation_) *watch = id;
        else remove_watch(id);  // watched no more since it was asked for
    };
}

void GnomeIdleSource::remove_watch(uint32_t& id)
{
    // A watch that is gone already (a user-active one fires once) is no
    // problem: the answer is not looked at.
    if (id != 0) call_async(context_.bus(), method("RemoveWatch"), context_.timeout, [](sd_bus_message*) {}, "u", id);
    id = 0;
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

}  // namespace pellavin::idle
