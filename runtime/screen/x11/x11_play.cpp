#include "runtime/screen/x11/x11_play.h"

#include "runtime/screen/end_signals.h"
#include "runtime/screen/fitted_screen.h"
#include "runtime/screen/game.h"
#include "runtime/screen/message_box.h"
#include "runtime/screen/screen_platform.h"
#include "runtime/screen/x11/x11_session.h"

#include <unistd.h>

namespace pellavin::screen {
namespace {

// Games in a framework's window, each at the window's size of the moment,
// until the framework takes the window away (status 0) or the X server
// goes (status 1).
int play_in_given_window(X11Session& session, ScreenPlatform& platform, EndSignals& signals,
    const FormFactory& make_form)
{
    // A saver that ends would leave the framework's screen frozen on its
    // last frame: a game that ends well starts again.
    bool ended = false;
    platform.set_end_action([&](int status) {
        if (status != 0) _exit(status);
        ended = true;
    });
    runtime::ClockSeededRandom random;
    bool connected = true;
    while (connected) {
        const float width = session.width_twips();
        const float height = session.height_twips();
        const auto same_size = [&] { return session.width_twips() == width && session.height_twips() == height; };
        std::unique_ptr<runtime::Form> form = make_form(platform, random);
        const FittedScreen screen = fit_to_design(width, height, session.pixels(), form->design().client);
        platform.set_screen_size(screen.width_twips, screen.height_twips);
        ended = false;
        Game game(session, signals, std::move(form), screen.pixels);
        while (!ended && same_size() && (connected = game.loop().turn(-1))) {
        }
        if (connected && game.ended_at_once()) {
            // Started again, it would only end again and again: the window
            // keeps its last frame until the framework changes its size.
            platform.write_error_line(platform.app_title() + ": the game ends as soon as it starts in this window");
            while (same_size() && (connected = game.loop().turn(-1))) {
            }
        }
    }
    if (session.given_window_gone()) return 0;  // the framework is done with its saver
    platform.write_error_line(platform.app_title() + ": the X server has gone");
    return 1;
}

}  // namespace

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
    platform.set_message_action([&](const std::string& prompt, int style, const std::string& box_title) {
        // In a framework's window nobody could see or answer a box: the
        // framework holds the screen and the input. The line on stderr stays.
        if (given) return runtime::msg_box::kOk;
        session->surface().hide();
        return show_message_box(platform.app_path(), prompt, style, box_title, &signals);
    });
    if (given) return play_in_given_window(*session, platform, signals, make_form);

    play_full_screen(*session, platform, signals, make_form);
    platform.write_error_line(title + ": the X server has gone");
    return 1;
}

}  // namespace pellavin::screen
