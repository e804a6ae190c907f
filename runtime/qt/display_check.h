#pragma once

#include <string>

namespace pellavin::qt_backend {

// Before the toolkit starts, unless QT_QPA_PLATFORM chooses the platform:
// the toolkit's platform is the window system the game would play on, so
// that the dialog and its Preview show on the same one. A program with no
// display it can reach (over ssh, say) says so in one line and ends with
// status 1, where the toolkit would abort and dump core.
void require_display(const std::string& program_name);

}  // namespace pellavin::qt_backend
