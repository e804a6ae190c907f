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

}  // namespace

BusParts::BusParts(const BusContext& session_bus, const BusContext& system_bus, SessionIdleSource& idle,
    IdleRules& rules)
    : gnome_holds_(session_bus, DesktopInhibitors::kGnomeSessionManager)
    , plasma_holds_(session_bus, DesktopInhibitors::kPowerDevil)
    , service_(session_bus)
    , desktop_service_(session_bus)
    , gnome_shell_(session_bus, DesktopScreenSaver::kGnomeShell)
    , gnome_screensaver_(session_bus, DesktopScreenSaver::kGnomeScreenSaver)
    , desktop_locker_(session_bus, DesktopScreenSaver::kFreedesktop, session_bus.connection.unique_name())
    , notice_(session_bus)
    , logind_(system_bus)
{
    // Who holds the game off: asked again before each game.
    gnome_holds_.on_inhibited = [&rules](bool held) { rules.set_held(Holder::SessionManager, held); };
    plasma_holds_.on_inhibited = [&rules](bool held) { rules.set_held(Holder::PowerManager, held); };
    idle.on_idle = [this, &rules] {
        gnome_holds_.before_start([this, &rules] { plasma_holds_.before_start([&rules] { rules.idle(); }); });
    };

    // The watcher's own org.freedesktop.ScreenSaver, where the desktop has none.
    service_.on_held = [&rules](bool held) { rules.set_held(Holder::ScreenSaver, held); };
    service_.game.shows = [&rules] { return rules.game_shows(); };
    service_.game.start = [&rules] { return rules.start_now(); };
    service_.game.end = [&rules] { rules.end_game(); };
    service_.game.user_active = [&rules] { rules.user_active(); };
    service_.game.idle_time = [&idle](auto answer) { idle.idle_time(std::move(answer)); };
    rules.on_game_shows = [this](bool shows) { service_.game_shows(shows); };
    if (idle.screensaver_daemon()) desktop_service_.came("xscreensaver");
    if (!desktop_service_.present()) service_.offer();
    desktop_service_.on_came = [this] { service_.give_way(); };
    idle.on_screensaver_daemon = [this] { desktop_service_.came("xscreensaver"); };

    // Who says that the desktop has blanked or locked the screen.
    const auto blanks = [&rules](Blank source) { return [&rules, source](bool on) { rules.set_blanked(source, on); }; };
    idle.on_blanked = blanks(Blank::DisplayServer);
    gnome_shell_.on_active = blanks(Blank::GnomeShell);
    gnome_screensaver_.on_active = blanks(Blank::GnomeScreenSaver);
    desktop_locker_.on_active = blanks(Blank::DesktopScreenSaver);
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

void BusParts::forget_session_bus(IdleRules& rules)
{
    for (Blank source : {Blank::GnomeShell, Blank::GnomeScreenSaver, Blank::DesktopScreenSaver}) {
        rules.set_blanked(source, false);
    }
    for (Holder holder : {Holder::ScreenSaver, Holder::SessionManager, Holder::PowerManager}) {
        rules.set_held(holder, false);
    }
}

}  // namespace pellavin::idle
