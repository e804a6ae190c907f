#pragma once

#include <string>

namespace pellavin::qt_backend {

// Ends the program, with a line on stderr and status 1, the moment its
// Wayland compositor goes away, as Qt itself does when the X server goes,
// rather than the toolkit's own way out. Does nothing off Wayland.
void end_with_the_compositor(const std::string& program_name);

}  // namespace pellavin::qt_backend
