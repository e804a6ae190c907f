#include "idle/holds/hold_hand_over.h"

namespace pellavin::idle {

// The idle flag: what the desktops' own proxies ask for.
const HandOver kSessionManagerHandOver{"org.gnome.SessionManager", "/org/gnome/SessionManager",
    "org.gnome.SessionManager", 8};

HoldHandOver::HoldHandOver(const BusContext& context, const HandOver& to)
    : context_(context)
    , to_(to)
{
}

void HoldHandOver::hold(uint32_t ours, const std::string& application, const std::string& why)
{
    sd_bus* bus = context_.bus();
    if (!bus) return;
    theirs_[ours] = std::nullopt;
    const auto answer = [this, ours](sd_bus_message* reply) {
        uint32_t theirs = 0;
        const auto held = theirs_.find(ours);
        // No session manager, or one that refused: the hold stays the watcher's alone.
        const bool given = reply_error(reply).empty() && sd_bus_message_read(reply, "u", &theirs) >= 0;
        if (held == theirs_.end()) {
            if (given) let_go(theirs);  // ended while it was being handed on
        } else if (given) {
            held->second = theirs;
        } else {
            theirs_.erase(held);
        }
    };
    const BusMethod inhibit{to_.name, to_.path, to_.interface, "Inhibit"};
    if (call_async(bus, inhibit, context_.timeout, answer, "susu", application.c_str(), uint32_t{0}, why.c_str(),
            to_.flags)
        < 0) {
        theirs_.erase(ours);
    }
}

void HoldHandOver::release(uint32_t ours)
{
    const auto held = theirs_.find(ours);
    if (held == theirs_.end()) return;
    if (held->second) let_go(*held->second);
    theirs_.erase(held);
}

void HoldHandOver::let_go(uint32_t theirs)
{
    const BusMethod uninhibit{to_.name, to_.path, to_.interface, "Uninhibit"};
    call_async(context_.bus(), uninhibit, context_.timeout, [](sd_bus_message*) {}, "u", theirs);
}

}  // namespace pellavin::idle
