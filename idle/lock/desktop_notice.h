#pragma once

#include "idle/bus/bus_call.h"

#include <optional>
#include <string>

namespace pellavin::idle {

// What the user is told on the screen, through the desktop's notifications
// (org.freedesktop.Notifications: GNOME Shell, KDE Plasma, dunst, mako,
// xfce4-notifyd), as from "Pellavin" with its icon: once a session, and
// only once they can see it, so it is held until they are back. Without a
// notification service the line on stderr, said as it happened, is all.
class DesktopNotice {
public:
    explicit DesktopNotice(const BusContext& context);
    DesktopNotice(const DesktopNotice&) = delete;
    DesktopNotice& operator=(const DesktopNotice&) = delete;

    // Kept for the next show_held(), unless one has been shown already.
    void hold(std::string summary, std::string body);
    // The user is back: what is held shows now.
    void show_held();

private:
    struct Notice {
        std::string summary;
        std::string body;
    };

    BusContext context_;
    std::optional<Notice> held_;
    bool shown_ = false;
};

}  // namespace pellavin::idle
