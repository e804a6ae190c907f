#pragma once

#include "runtime/core/form.h"
#include "runtime/screen/event_loop.h"
#include "runtime/screen/screen_form.h"
#include "runtime/screen/full_screen.h"
#include "runtime/screen/screen_session.h"

#include <memory>

namespace pellavin::screen {

class EndSignals;
class ScreenPlatform;

// One game: the form, loaded and shown in the session's surface, with the
// loop that runs it. A form that ends while it loads never shows.
class Game {
public:
    Game(ScreenSession& session, EndSignals& signals, std::unique_ptr<runtime::Form> form, const DevicePixels& pixels);
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    EventLoop& loop() { return loop_; }
    // Runs until the window system goes. Once the first frame is out it
    // rests, too, while the desktop's shield is up.
    void play();
    // It ended within its first second of ticks: started again, it would
    // only end so again.
    bool ended_at_once() const;

private:
    ScreenSession& session_;
    std::unique_ptr<runtime::Form> form_;
    ScreenForm view_;
    EventLoop loop_;
};

// Plays the program's start-up form over the session's screen until the
// window system goes (the program ends by itself otherwise).
void play_full_screen(ScreenSession& session, ScreenPlatform& platform, EndSignals& signals,
    const FormFactory& make_form);

}  // namespace pellavin::screen
