#include "idle/desktop_service.h"

#include <cstdlib>
#include <sstream>

namespace pellavin::idle {
namespace {

// The desktops whose sessions always bring one, as XDG_CURRENT_DESKTOP
// names them (a list: "ubuntu:GNOME").
constexpr const char* kDesktops[] = {"GNOME", "KDE"};

// Names that only such a service's programs take on the session bus.
struct OwnName {
    const char* name;
    const char* which;
};
constexpr OwnName kOwnNames[] = {
    {"org.gnome.SettingsDaemon.ScreensaverProxy", "GNOME"},
    {"org.kde.ksmserver", "KDE"},
    {"org.jwz.XScreenSaver", "xscreensaver"},
};

std::string current_desktop()
{
    const char* list = std::getenv("XDG_CURRENT_DESKTOP");
    std::istringstream desktops(list ? list : "");
    for (std::string desktop; std::getline(desktops, desktop, ':');) {
        for (const char* known : kDesktops) {
            if (desktop == known) return desktop;
        }
    }
    return "";
}

}  // namespace

DesktopService::DesktopService(const BusContext& context)
    : context_(context)
    , which_(current_desktop())
{
    sd_bus* bus = context_.bus();
    if (!bus) return;
    for (const OwnName& own : kOwnNames) {
        const std::string which = own.which;
        watch_name_owner(bus, slots_, own.name, [this, which](const std::string& owner) {
            if (!owner.empty()) came(which);
        });
        if (!name_owner(bus, own.name).empty() && which_.empty()) which_ = which;
    }
}

void DesktopService::came(const std::string& which)
{
    if (present()) return;
    which_ = which;
    if (on_came) on_came();
}

}  // namespace pellavin::idle
