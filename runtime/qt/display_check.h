#pragma once

#include <string>

namespace pellavin::qt_backend {

// Before the toolkit starts, unless QT_QPA_PLATFORM chooses the platform:
// a program with no display it can reach (over ssh, say) says so in one
// line and ends with status 1, where the toolkit would abort and dump
// core. A Wayland session without a reachable X server gets the Wayland
// platform, which the toolkit would not try unless the session type said
// so.
void require_display(const std::string& program_name);

}  // namespace pellavin::qt_backend
