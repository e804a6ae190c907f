#pragma once

#include "runtime/screen/screen_session.h"
#include "runtime/screen/wayland/connection.h"
#include "runtime/screen/wayland/game_window.h"
#include "runtime/screen/wayland/globals.h"
#include "runtime/screen/wayland/outputs.h"
#include "runtime/screen/wayland/seat.h"

#include <memory>
#include <string>

namespace pellavin::screen {

// A full-screen program in a Wayland session: the compositor's outputs,
// the game's window on the first and covers on the others, and the
// seat's input, which it hands to the form's view. What the loop waits
// on is the compositor's connection and the timer of a held key's
// repeats, together.
class WaylandSession final : public ScreenSession {
public:
    // Nothing when the compositor cannot be used, with the reason in `problem`.
    static std::unique_ptr<WaylandSession> open(WaylandConnection& wayland, const std::string& title, std::string& problem);
    ~WaylandSession() override;

    // The screen's size in twips: the first output's, at 96 logical pixels an inch.
    float width_twips() const override;
    float height_twips() const override;
    DevicePixels pixels() const override;

    Surface& surface() override { return *window_; }


    int fd() const override { return epoll_; }
    void flush() override;
    bool dispatch() override;

private:
    explicit WaylandSession(WaylandConnection& wayland);
    void configured();
    void shown();
    void after_events();
    void look_for_frames();

    WaylandConnection& wayland_;
    WaylandGlobals globals_;
    WaylandOutputs outputs_;
    std::unique_ptr<WaylandSeat> seat_;
    std::unique_ptr<WaylandGameWindow> window_;
    Rect screen_;  // the first output, logical pixels
    int scale_ = 1;
    int epoll_ = -1;
};

}  // namespace pellavin::screen
