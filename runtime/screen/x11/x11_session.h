#pragma once

#include "runtime/screen/screen_session.h"
#include "runtime/screen/x11/connection.h"
#include "runtime/screen/x11/x11_game_window.h"
#include "runtime/screen/x11/x11_given_window.h"
#include "runtime/screen/x11/x11_keyboard.h"
#include "runtime/screen/x11/x11_screen.h"
#include "runtime/screen/x11/x11_sight.h"

#include <memory>
#include <optional>
#include <string>

namespace pellavin::screen {

// A full-screen program on an X server: the screen's facts, the window the
// form shows in, and the events the server sends, which it hands to the
// form's view. Either the game's own window over the primary monitor, or a
// window a screensaver framework gave it, in which it selects no input.
class X11Session final : public ScreenSession {
public:
    // On a window of its own; nothing when the server cannot be used, with
    // the reason in `problem`.
    static std::unique_ptr<X11Session> open(X11Connection& x11, const std::string& title, std::string& problem);
    // In the framework's window `given`.
    static std::unique_ptr<X11Session> open_in(X11Connection& x11, xcb_window_t given, std::string& problem);
    ~X11Session() override;

    // The screen's size in twips: the primary monitor's, or the given
    // window's as it is now, at the desktop's DPI.
    float width_twips() const override;
    float height_twips() const override;
    DevicePixels pixels() const override;

    Surface& surface() override;
    X11GameWindow* game_window() { return game_.get(); }
    const ScreenFacts& facts() const { return facts_; }

    // The server has shown the form's first frame.
    bool exposed() const { return first_frame_sent_; }
    // The given window has gone: there is nothing left to play in.
    bool given_window_gone() const { return given_gone_; }

    int fd() const override { return x11_.fd(); }
    void flush() override;
    bool dispatch() override;

private:
    X11Session(X11Connection& x11, ScreenFacts facts);
    void handle(const xcb_generic_event_t& event);
    bool another_program_came(const xcb_generic_event_t& event) const;
    void handle_queued();
    void pressed(const xcb_button_press_event_t& event);
    void released(const xcb_button_release_event_t& event);
    void after_events();
    Rect screen_area() const;
    xcb_window_t form_window() const;

    X11Connection& x11_;
    ScreenFacts facts_;
    X11Keyboard keyboard_;
    std::unique_ptr<X11GameWindow> game_;
    std::unique_ptr<X11GivenWindow> given_;
    X11Sight sight_;
    Region exposed_;
    xcb_window_t pressed_in_ = XCB_WINDOW_NONE;
    bool first_frame_sent_ = false;
    bool given_gone_ = false;
};

}  // namespace pellavin::screen
