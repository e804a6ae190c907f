#include "idle/lock/locker_state.h"

namespace pellavin::idle {
namespace {

int on_active_changed(sd_bus_message* signal, void* data, sd_bus_error*)
{
    int active = 0;
    if (sd_bus_message_read(signal, "b", &active) >= 0) {
        static_cast<LockerState*>(data)->active_changed(active != 0, sd_bus_message_get_sender(signal));
    }
    return 0;
}

}  // namespace

LockerState::LockerState(const BusContext& context, Names names, std::string self)
    : context_(context)
    , names_(names)
    , self_(std::move(self))
    , get_active_(context, {names.name, names.path, names.interface, "GetActive"},
          "a blank or lock it has made is not known until it answers")
{
    sd_bus* bus = context_.bus();
    if (!bus) return;
    // In place before the owner is looked for, so that nothing is missed.
    int r = sd_bus_match_signal_async(bus, slots_.add(), names_.name, nullptr, names_.interface, "ActiveChanged",
        on_active_changed, nullptr, this);
    if (r >= 0) r = watch_name_owner(bus, slots_, names_.name, [this](const std::string& owner) { owner_changed(owner); });
    if (r < 0) {
        context_.say(std::string("cannot listen to ") + names_.name + " on the session bus (" + errno_text(r)
            + "): a blank or lock it makes is not known");
        return;
    }
    owner_changed(name_owner(bus, names_.name));
}

void LockerState::owner_changed(const std::string& owner)
{
    owner_ = owner == self_ ? "" : owner;
    if (owner_.empty()) {
        get_active_.cancel();
        set_active(false);
        return;
    }
    get_active_.ask([this, owner = owner_](sd_bus_message* reply) {
        int active = 0;
        if (owner != owner_) return;  // asked of an owner that has gone since
        if (is_no_owner(reply)) return owner_changed("");
        if (sd_bus_message_read(reply, "b", &active) < 0) return get_active_.failed("no yes or no in its answer");
        set_active(active != 0);
    });
}

void LockerState::active_changed(bool active, const char* sender)
{
    if (sender && !owner_.empty() && owner_ == sender) set_active(active);
}

void LockerState::set_active(bool active)
{
    if (active == active_) return;
    active_ = active;
    if (on_active) on_active(active);
}

}  // namespace pellavin::idle
