#pragma once

#include "runtime/core/form.h"
#include "runtime/core/platform.h"
#include "runtime/core/random.h"

#include <functional>
#include <memory>
#include <string>

namespace pellavin::screen {

// Builds a program's start-up form on the platform it is given.
using FormFactory = std::function<std::unique_ptr<runtime::Form>(runtime::Platform&, runtime::RandomSequence&)>;

// What a full-screen program's main() does: finds the display its
// environment names, loads the start-up form there, shows it and runs
// until the program ends; returns the program's exit status.
// - XSCREENSAVER_WINDOW (an X window id, decimal or 0x-hex): a screensaver
//   framework's window on the X server of DISPLAY, which the form plays in
//   and nowhere else, scaled down whole into a window smaller than its
//   design; a game that ends, or whose window changes size, starts again.
// - WAYLAND_DISPLAY, when its compositor answers: full screen on its first
//   output, covering the others.
// - DISPLAY: the X server's primary monitor, covering the others.
// Without any of them, one line says so and the status is 1.
int run_full_screen(const std::string& title, const FormFactory& make_form);

// Whether the environment gives the program a screensaver framework's
// window (XSCREENSAVER_WINDOW), where no key or click ever reaches it.
bool given_a_window();

}  // namespace pellavin::screen
