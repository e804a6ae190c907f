#include "runtime/screen/wayland/wayland_play.h"

#include "runtime/screen/end_signals.h"
#include "runtime/screen/game.h"
#include "runtime/screen/message_box.h"
#include "runtime/screen/screen_platform.h"
#include "runtime/screen/wayland/session.h"

namespace pellavin::screen {

int play_on_wayland(WaylandConnection& wayland, const std::string& title, const FormFactory& make_form)
{
    EndSignals signals;
    ScreenPlatform platform(title);
    std::string problem;
    std::unique_ptr<WaylandSession> session = WaylandSession::open(wayland, title, problem);
    if (!session) {
        platform.write_error_line(title + ": " + problem);
        return 1;
    }
    platform.set_message_action([&](const std::string& prompt, int style, const std::string& box_title) {
        session->surface().hide();
        wl_display_flush(wayland.display());
        return show_message_box(platform.app_path(), prompt, style, box_title, &signals);
    });
    play_full_screen(*session, platform, signals, make_form);
    platform.write_error_line(title + ": " + wayland.why_gone());
    return 1;
}

}  // namespace pellavin::screen
