#include "runtime/qt/display_check.h"

#include "common/window_system.h"
#include "runtime/core/no_display.h"

#include <cstdio>
#include <cstdlib>

namespace pellavin::qt_backend {

void require_display(const std::string& program_name)
{
    if (const char* chosen = std::getenv("QT_QPA_PLATFORM"); chosen != nullptr && *chosen != '\0') return;
    const WindowSystemChoice choice = probe_window_system();
    switch (choice.system) {
    case WindowSystem::wayland: setenv("QT_QPA_PLATFORM", "wayland", 1); return;
    case WindowSystem::x11: setenv("QT_QPA_PLATFORM", "xcb", 1); return;
    case WindowSystem::none: break;
    }
    std::fprintf(stderr, "%s: %s\n", program_name.c_str(), runtime::no_display_line(choice.tried).c_str());
    std::exit(1);
}

}  // namespace pellavin::qt_backend
