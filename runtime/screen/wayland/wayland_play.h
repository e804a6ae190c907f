#pragma once

#include "runtime/screen/full_screen.h"
#include "runtime/screen/wayland/connection.h"

#include <string>

namespace pellavin::screen {

// Plays the program's start-up form in the Wayland session, full screen on
// the first output; returns the exit status once the compositor has gone
// (the program ends by itself otherwise).
int play_on_wayland(WaylandConnection& wayland, const std::string& title, const FormFactory& make_form);

}  // namespace pellavin::screen
