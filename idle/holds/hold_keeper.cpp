#include "idle/holds/hold_keeper.h"

namespace pellavin::idle {
namespace {

int on_holds_changed(sd_bus_message*, void* data, sd_bus_error*)
{
    static_cast<HoldKeeper*>(data)->ask();
    return 0;
}

BusMethod question_of(const HoldKeeper::Service& service)
{
    return {service.name, service.path, service.interface, service.question};
}

}  // namespace

HoldKeeper::HoldKeeper(const BusContext& context, const Service& service)
    : context_(context)
    , service_(service)
    , question_(context, question_of(service), "what it last said stands")
{
    // Without a session bus there is no such service either.
    sd_bus* bus = context_.bus();
    if (!bus) return;
    int r = 0;
    for (const char* member : service_.changed) {
        if (r >= 0 && member) {
            r = sd_bus_match_signal_async(bus, slots_.add(), nullptr, service_.path, service_.interface, member,
                on_holds_changed, nullptr, this);
        }
    }
    if (r >= 0) {
        r = watch_name_owner(bus, slots_, service_.name, [this](const std::string& owner) { owner_changed(owner); });
    }
    if (r < 0) {
        context_.say(std::string("cannot listen to ") + service_.name + " on the session bus (" + errno_text(r)
            + "): its holds cannot hold the game off");
        return;
    }
    owner_changed(name_owner(bus, service_.name));
}

int HoldKeeper::append_flags(sd_bus_message* call) const
{
    return service_.flags ? sd_bus_message_append(call, "u", *service_.flags) : 0;
}

void HoldKeeper::before_start(std::function<void()> start)
{
    if (!present_) {
        if (!inhibited_) start();
        return;
    }
    const auto answer = [this, start](sd_bus_message* reply) {
        const std::string error = reply_error(reply);
        if (!error.empty() && !is_no_owner(reply) && !has_no_such_thing(reply)) question_.failed(error);
        else if ((error.empty() || is_no_owner(reply)) && !read_answer(reply)) {
            question_.failed("no yes or no in its answer");
        }
        if (!inhibited_) start();
    };
    const BusMethod question = question_of(service_);
    const int sent = service_.flags ? call_async(context_.bus(), question, context_.timeout, answer, "u", *service_.flags)
                                    : call_async(context_.bus(), question, context_.timeout, answer, nullptr);
    if (sent < 0 && !inhibited_) start();
}

void HoldKeeper::ask()
{
    if (!present_) return;
    question_.ask([this](sd_bus_message* reply) {
        if (!read_answer(reply)) question_.failed("no yes or no in its answer");
    }, [this](sd_bus_message* call) { return append_flags(call); });
}

// False when the answer makes no sense; nobody on the bus any more holds
// nothing.
bool HoldKeeper::read_answer(sd_bus_message* reply)
{
    if (is_no_owner(reply)) {
        owner_changed("");
        return true;
    }
    int inhibited = 0;
    if (sd_bus_message_read(reply, "b", &inhibited) < 0) return false;
    set_inhibited(inhibited != 0);
    return true;
}

void HoldKeeper::owner_changed(const std::string& owner)
{
    present_ = !owner.empty();
    // Its holds went with it; a new one is asked afresh.
    if (present_) {
        ask();
    } else {
        question_.cancel();
        set_inhibited(false);
    }
}

void HoldKeeper::set_inhibited(bool inhibited)
{
    if (inhibited == inhibited_) return;
    inhibited_ = inhibited;
    if (on_inhibited) on_inhibited(inhibited);
}

}  // namespace pellavin::idle
