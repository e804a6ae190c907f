#include "runtime/screen/x11/x11_play.h"

#include "runtime/screen/end_signals.h"
#include "runtime/screen/event_loop.h"
#include "runtime/screen/form_view.h"
#include "runtime/screen/message_box.h"
#include "runtime/screen/screen_platform.h"
#include "runtime/screen/x11/x11_session.h"

#include <unistd.h>

namespace pellavin::screen {

int play_on_x11(X11Connection& x11, const std::string& title, const FormFactory& make_form,
    std::optional<xcb_window_t> given)
{
    EndSignals signals;
    ScreenPlatform platform(title);
    std::string problem;
    std::unique_ptr<X11Session> session
        = given ? X11Session::open_in(x11, *given, problem) : X11Session::open(x11, title, problem);
    if (!session) {
        platform.write_error_line(title + ": " + problem);
        return 1;
    }
    platform.set_screen_size(session->width_twips(), session->height_twips());
    platform.set_message_action([&](const std::string& prompt, int style, const std::string& box_title) {
        // In a framework's window nobody could see or answer a box: the
        // framework holds the screen and the input. The line on stderr stays.
        if (given) return runtime::msg_box::kOk;
        session->surface().hide();
        return show_message_box(platform.app_path(), prompt, style, box_title, &signals);
    });
    // A saver that ends would leave the framework's screen frozen on its
    // last frame: a game that ends well starts again.
    bool play_again = false;
    if (given) {
        platform.set_end_action([&](int status) {
            if (status != 0) _exit(status);
            play_again = true;
        });
    }

    runtime::ClockSeededRandom random;
    for (;;) {
        std::unique_ptr<runtime::Form> form = make_form(platform, random);
        FormView view(*form, session->pixels(), session->surface());
        session->attach(&view);
        EventLoop loop(*session, view.clock(), signals);
        form->load();
        if (play_again) return 0;  // a game that ends as it loads would only start again and again
        if (!form->Visible()) form->set_Visible(true);  // the start-up form shows once loaded
        while (!play_again && loop.turn(-1)) {
        }
        session->attach(nullptr);
        if (!play_again) break;
        play_again = false;
    }
    if (session->given_window_gone()) return 0;  // the framework is done with its saver
    platform.write_error_line(title + ": the X server has gone");
    return 1;
}

}  // namespace pellavin::screen
