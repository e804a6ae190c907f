#include "runtime/screen/wayland/wayland_play.h"

#include "runtime/screen/end_signals.h"
#include "runtime/screen/event_loop.h"
#include "runtime/screen/form_view.h"
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
    platform.set_screen_size(session->width_twips(), session->height_twips());
    platform.set_message_action([&](const std::string& prompt, int style, const std::string& box_title) {
        session->surface().hide();
        wl_display_flush(wayland.display());
        return show_message_box(platform.app_path(), prompt, style, box_title, &signals);
    });

    runtime::ClockSeededRandom random;
    std::unique_ptr<runtime::Form> form = make_form(platform, random);
    FormView view(*form, session->pixels(), session->surface());
    session->attach(&view);
    EventLoop loop(*session, view.clock(), signals);
    form->load();
    if (!form->Visible()) form->set_Visible(true);  // the start-up form shows once loaded
    loop.run();
    session->attach(nullptr);
    platform.write_error_line(title + ": " + wayland.why_gone());
    return 1;
}

}  // namespace pellavin::screen
