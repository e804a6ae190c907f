#include "idle/session_inhibitors.h"

namespace pellavin::idle {
namespace {

constexpr char kName[] = "org.gnome.SessionManager";
constexpr char kPath[] = "/org/gnome/SessionManager";
constexpr char kInterface[] = "org.gnome.SessionManager";
constexpr uint32_t kInhibitIdle = 8;  // the session manager's flag for idleness
constexpr BusMethod kIsInhibited{kName, kPath, kInterface, "IsInhibited"};

int on_inhibitors_changed(sd_bus_message*, void* data, sd_bus_error*)
{
    static_cast<SessionInhibitors*>(data)->ask();
    return 0;
}

int append_idle_flag(sd_bus_message* call) { return sd_bus_message_append(call, "u", kInhibitIdle); }

}  // namespace

SessionInhibitors::SessionInhibitors(const BusContext& context)
    : context_(context)
    , is_inhibited_(context, kIsInhibited, "what it last said stands")
{
    // Without a session bus there is no session manager either.
    sd_bus* bus = context_.bus();
    if (!bus) return;
    int r = 0;
    for (const char* member : {"InhibitorAdded", "InhibitorRemoved"}) {
        if (r >= 0) {
            r = sd_bus_match_signal_async(bus, slots_.add(), nullptr, kPath, kInterface, member, on_inhibitors_changed,
                nullptr, this);
        }
    }
    if (r >= 0) r = watch_name_owner(bus, slots_, kName, [this](const std::string& owner) { owner_changed(owner); });
    if (r < 0) {
        context_.say(std::string("cannot listen to ") + kName + " on the session bus (" + errno_text(r)
            + "): its inhibitors cannot hold the game off");
        return;
    }
    owner_changed(name_owner(bus, kName));
}

void SessionInhibitors::before_start(std::function<void()> start)
{
    if (!present_) {
        if (!inhibited_) start();
        return;
    }
    const auto answer = [this, start](sd_bus_message* reply) {
        const std::string error = reply_error(reply);
        if (!error.empty() && !is_no_owner(reply) && !has_no_such_thing(reply)) is_inhibited_.failed(error);
        else if (!read_answer(reply)) is_inhibited_.failed("no yes or no in its answer");
        if (!inhibited_) start();
    };
    if (call_async(context_.bus(), kIsInhibited, context_.timeout, answer, "u", kInhibitIdle) < 0 && !inhibited_) {
        start();
    }
}

void SessionInhibitors::ask()
{
    if (!present_) return;
    is_inhibited_.ask([this](sd_bus_message* reply) {
        if (!read_answer(reply)) is_inhibited_.failed("no yes or no in its answer");
    }, append_idle_flag);
}

// False when the answer makes no sense; nobody on the bus any more
// inhibits nothing.
bool SessionInhibitors::read_answer(sd_bus_message* reply)
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

void SessionInhibitors::owner_changed(const std::string& owner)
{
    present_ = !owner.empty();
    // Its inhibitors went with it; a new one is asked afresh.
    if (present_) {
        ask();
    } else {
        is_inhibited_.cancel();
        set_inhibited(false);
    }
}

void SessionInhibitors::set_inhibited(bool inhibited)
{
    if (inhibited == inhibited_) return;
    inhibited_ = inhibited;
    if (on_inhibited) on_inhibited(inhibited);
}

}  // namespace pellavin::idle
