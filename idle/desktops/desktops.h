#pragma once

#include "idle/holds/hold_keeper.h"
#include "idle/lock/locker_state.h"

#include <array>
#include <span>
#include <string_view>
#include <vector>

namespace pellavin::idle {

// What the watcher knows of a desktop: a row of the table in desktops.cpp
// (GNOME, KDE Plasma, Cinnamon, MATE, Xfce, LXQt, xscreensaver, and "none"
// for a bare window manager). No desktop has code of its own: the shapes
// the rows name are LockerState (a locker's GetActive and
// ActiveChanged), HoldKeeper (a keeper of holds with a question and
// a signal), WatcherScreenSaver (the name where the watcher serves it) and
// SilentKeeperCalls (holds kept by a program that tells nobody of them).
struct Desktop {
    const char* which;  // for messages
    // Its names in XDG_CURRENT_DESKTOP, a list such as "ubuntu:GNOME".
    std::array<const char*, 2> current_names;
    // Its own programs serve org.freedesktop.ScreenSaver, at any moment
    // and again after a restart, and some of them do not take it from a
    // program that has it: the watcher never asks for the name there.
    bool serves_screensaver_name;
    // Names that only those programs take on the session bus: where one
    // shows, so does the desktop, in a session that did not say which.
    std::array<const char*, 2> own_names;
    // The lockers that say when it has blanked or locked the screen.
    std::array<const LockerState::Names*, 2> lockers;
    // Where the holds that reach its org.freedesktop.ScreenSaver are kept:
    // with a keeper that tells (the session manager, the power manager), or
    // with the program that serves the name and tells nobody, so that the
    // watcher reads the calls that reach it.
    const HoldKeeper::Service* keeper;
    bool holds_told_nobody;
};

std::span<const Desktop> desktops();
// The row XDG_CURRENT_DESKTOP (or its value `names`) gives, else "none".
const Desktop& current_desktop(const char* names);
const Desktop& desktop_none();
// The row of that name ("xscreensaver"), else "none".
const Desktop& desktop_named(std::string_view which);
// Every row's lockers and keepers, each once.
std::vector<const LockerState::Names*> all_lockers();
std::vector<const HoldKeeper::Service*> all_keepers();


// The lockers and keepers the tests meet by name.
namespace lockers {
extern const LockerState::Names kGnomeShell;
extern const LockerState::Names kFreedesktop;
}  // namespace lockers
namespace keepers {
extern const HoldKeeper::Service kSessionManager;
}  // namespace keepers

}  // namespace pellavin::idle
