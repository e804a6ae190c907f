#pragma once

#include <string>
#include <vector>

namespace pellavin::runtime {

// One way to a display that a program tried: the variable that names it
// and its value, empty when it is not set.
struct DisplayTried {
    std::string variable;
    std::string value;
};

// The one line a program says when none of them led to a display, naming
// each variable: "no display to show on: WAYLAND_DISPLAY is not set, and
// DISPLAY ":7" cannot be reached".
std::string no_display_line(const std::vector<DisplayTried>& tried);

}  // namespace pellavin::runtime
