#include "idle/bus_parts.h"

namespace pellavin::idle {
namespace {

using Blank = IdleRules::Blank;
using Holder = IdleRules::Holder;

constexpr char kBlankedFirst[] = "Pellavin's game did not show";

std::string blanked_first_text(const std::string& after, const std::string& delay)
{
    return "The desktop blanked the screen" + (after.empty() ? "" : " " + after) + ", before Pellavin's Time Delay of "
        + delay + ". In the Pellavin Control Panel choose a Time Delay shorter than the desktop's blank, "
        + "or give the desktop's blank and lock a later time in its settings.";
}

// Asks each keeper in turn, from `next` on, and starts the game once none holds it off.
void before_start(std::list<HoldKeeper>& keepers, std::list<HoldKeeper>::iterator next,
    IdleRules& rules)
{
    if (next == keepers.end()) return rules.idle();
    next->before_start([&keepers, next, &rules] { before_start(keepers, std::next(next), rules); });
}

}  // namespace

BusParts::BusParts(const BusContext& session_bus, const BusContext& system_bus, SessionIdleSource& idle,
    IdleRules& rules)
    : session_bus_(session_bus)
    , hand_over_(session_bus, kSessionManagerHandOver)
    , service_(session_bus)
    , session_desktop_(session_bus)
    , notice_(session_bus)
    , logind_(system_bus)
{
    // Who holds the game off: the desktops' keepers, asked again before each game.
    for (const HoldKeeper::Service* keeper : all_keepers()) {
        const Holder holder = IdleRules::keeper(keepers_.size());
        keepers_.emplace_back(session_bus, *keeper).on_inhibited = [&rules, holder](bool held) {
            rules.set_held(holder, held);
        };
    }
    idle.on_idle = [this, &rules] { before_start(keepers_, keepers_.begin(), rules); };

    // The watcher's own org.freedesktop.ScreenSaver, where the desktop has
    // none, its holds handed on to the session manager.
    service_.on_held = [&rules](bool held) { rules.set_held(Holder::ScreenSaver, held); };
    service_.on_hold = [this](uint32_t cookie, const std::string& application, const std::string& why) {
        hand_over_.hold(cookie, application, why);
    };
    service_.on_release = [this](uint32_t cookie) { hand_over_.release(cookie); };
    service_.game.shows = [&rules] { return rules.game_shows(); };
    service_.game.start = [&rules] { return rules.start_now(); };
    service_.game.end = [&rules] { rules.end_game(); };
    service_.game.user_active = [&rules] { rules.user_active(); };
    service_.game.idle_time = [&idle](auto answer) { idle.idle_time(std::move(answer)); };
    rules.on_game_shows = [this](bool shows) { service_.game_shows(shows); };
    // The desktop's own, where it keeps the holds to itself: read off the calls.
    calls_.on_held = [&rules](bool held) { rules.set_held(Holder::OtherScreenSaver, held); };
    const Desktop& xscreensaver = desktop_named("xscreensaver");
    if (idle.screensaver_daemon()) session_desktop_.came(xscreensaver);
    if (session_desktop_.present()) follow_calls();
    else service_.offer();
    session_desktop_.on_came = [this] {
        service_.give_way();
        follow_calls();
    };
    idle.on_screensaver_daemon = [this, &xscreensaver] { session_desktop_.came(xscreensaver); };

    // Who says that the desktop has blanked or locked the screen.
    const auto blanks = [&rules](Blank source) { return [&rules, source](bool on) { rules.set_blanked(source, on); }; };
    idle.on_blanked = blanks(Blank::DisplayServer);
    for (const LockerState::Names* locker : all_lockers()) {
        const Blank source = IdleRules::locker(lockers_.size());
        // The watcher's own org.freedesktop.ScreenSaver says nothing of the desktop.
        lockers_.emplace_back(session_bus, *locker, session_bus.connection.unique_name()).on_active = blanks(source);
    }
    logind_.on_locked = blanks(Blank::Logind);
    logind_.on_lock_asked = [&rules](bool lock) { lock ? rules.lock_asked() : rules.unlock_asked(); };

    // What the user is told on the screen, once they are back.
    rules.on_blanked_first = [this](const std::string& after, const std::string& delay) {
        notice_.hold(kBlankedFirst, blanked_first_text(after, delay));
    };
    rules.on_blanked = [this](bool blanked) {
        if (!blanked) notice_.show_held();
    };
}

void BusParts::follow_calls()
{
    if (!session_desktop_.desktop().holds_told_nobody || calls_.started()) return;
    const std::string problem = calls_.start();
    if (!problem.empty()) {
        session_bus_.say("cannot watch the calls to " + std::string(session_desktop_.which())
            + "'s screensaver service (" + problem + "): the holds it keeps cannot hold the game off");
    }
}

}  // namespace pellavin::idle
