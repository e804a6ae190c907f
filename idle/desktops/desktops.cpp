#include "idle/desktops/desktops.h"

#include <algorithm>
#include <sstream>
#include <string>

namespace pellavin::idle {

namespace lockers {
// GNOME Shell's screen shield, under the shell's own name and under
// org.gnome.ScreenSaver, a go-between started on demand.
const LockerState::Names kGnomeShell{
    "org.gnome.Shell.ScreenShield", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver"};
const LockerState::Names kGnomeScreenSaver{"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver"};
// KDE's locker, light-locker and the other programs that serve the name
// announce their blank there.
const LockerState::Names kFreedesktop{
    "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver"};
const LockerState::Names kCinnamon{"org.cinnamon.ScreenSaver", "/org/cinnamon/ScreenSaver", "org.cinnamon.ScreenSaver"};
const LockerState::Names kMate{"org.mate.ScreenSaver", "/org/mate/ScreenSaver", "org.mate.ScreenSaver"};
}  // namespace lockers

namespace keepers {
// GNOME's session manager, and Cinnamon's and MATE's under the same name:
// IsInhibited with the idle flag.
const HoldKeeper::Service kSessionManager{"org.gnome.SessionManager", "/org/gnome/SessionManager",
    "org.gnome.SessionManager", "IsInhibited", 8, {"InhibitorAdded", "InhibitorRemoved"}};
// KWin and ksmserver hand each Inhibit to it as a hold on the screen's
// settings.
const HoldKeeper::Service kPowerDevil{"org.kde.Solid.PowerManagement.PolicyAgent",
    "/org/kde/Solid/PowerManagement/PolicyAgent", "org.kde.Solid.PowerManagement.PolicyAgent", "HasInhibition", 4,
    {"InhibitionsChanged", nullptr}};
// Xfce's power manager: the holds of players that find no other keeper.
const HoldKeeper::Service kPowerManagement{"org.freedesktop.PowerManagement",
    "/org/freedesktop/PowerManagement/Inhibit", "org.freedesktop.PowerManagement.Inhibit", "HasInhibit",
    std::nullopt, {"HasInhibitChanged", nullptr}};
}  // namespace keepers

namespace {

using namespace lockers;
using namespace keepers;

// clang-format off
const Desktop kDesktops[] = {
    // which          XDG_CURRENT_DESKTOP       serves  own names on the bus
    //                lockers                                  keeper             told nobody
    {"GNOME",         {"GNOME"},                true,   {"org.gnome.SettingsDaemon.ScreensaverProxy"},
                      {&kGnomeShell, &kGnomeScreenSaver},      &kSessionManager,  false},
    {"KDE",           {"KDE"},                  true,   {"org.kde.ksmserver"},
                      {&kFreedesktop},                         &kPowerDevil,      false},
    // csd-screensaver-proxy waits in the name's queue behind whoever has it.
    {"Cinnamon",      {"X-Cinnamon", "Cinnamon"}, true, {},
                      {&kCinnamon},                            &kSessionManager,  false},
    // Nobody serves the name in MATE 1.26.
    {"MATE",          {"MATE"},                 false,  {},
                      {&kMate},                                &kSessionManager,  false},
    // light-locker (which ends when the name is taken) or
    // xscreensaver-systemd; the power manager keeps the other holds.
    {"Xfce",          {"XFCE"},                 true,   {},
                      {&kFreedesktop},                         &kPowerManagement, true},
    {"LXQt",          {"LXQt"},                 true,   {},
                      {},                                      nullptr,           true},
    // Anywhere: xscreensaver-systemd serves the name beside xscreensaver,
    // whose blank the X server's root window tells.
    {"xscreensaver",  {},                       true,   {"org.jwz.XScreenSaver"},
                      {},                                      nullptr,           true},
    {"none",          {},                       false,  {},
                      {},                                      nullptr,           false},
};
// clang-format on

template <typename T, size_t N> void add_each(std::vector<const T*>& all, const std::array<const T*, N>& these)
{
    for (const T* one : these) {
        if (one && std::find(all.begin(), all.end(), one) == all.end()) all.push_back(one);
    }
}

}  // namespace

std::span<const Desktop> desktops() { return kDesktops; }

const Desktop& desktop_none() { return kDesktops[std::size(kDesktops) - 1]; }

const Desktop& desktop_named(std::string_view which)
{
    for (const Desktop& desktop : kDesktops) {
        if (which == desktop.which) return desktop;
    }
    return desktop_none();
}

const Desktop& current_desktop(const char* names)
{
    std::istringstream list(names ? names : "");
    for (std::string name; std::getline(list, name, ':');) {
        for (const Desktop& desktop : kDesktops) {
            for (const char* known : desktop.current_names) {
                if (known && name == known) return desktop;
            }
        }
    }
    return desktop_none();
}

std::vector<const LockerState::Names*> all_lockers()
{
    std::vector<const LockerState::Names*> all;
    for (const Desktop& desktop : kDesktops) add_each(all, desktop.lockers);
    return all;
}

std::vector<const HoldKeeper::Service*> all_keepers()
{
    std::vector<const HoldKeeper::Service*> all;
    for (const Desktop& desktop : kDesktops) add_each(all, std::array{desktop.keeper});
    return all;
}

}  // namespace pellavin::idle
