#include "idle/desktops/session_desktop.h"

#include <cstdlib>

namespace pellavin::idle {

SessionDesktop::SessionDesktop(const BusContext& context)
    : context_(context)
    , desktop_(&current_desktop(std::getenv("XDG_CURRENT_DESKTOP")))
{
    sd_bus* bus = context_.bus();
    if (!bus) return;
    for (const Desktop& desktop : desktops()) {
        for (const char* name : desktop.own_names) {
            if (!name) continue;
            watch_name_owner(bus, slots_, name, [this, &desktop](const std::string& owner) {
                if (!owner.empty()) came(desktop);
            });
            if (!present() && !name_owner(bus, name).empty()) desktop_ = &desktop;
        }
    }
}

void SessionDesktop::came(const Desktop& desktop)
{
    if (present()) return;
    desktop_ = &desktop;
    if (on_came) on_came();
}

}  // namespace pellavin::idle
