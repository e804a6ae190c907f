#pragma once

#include "runner/form1.h"
#include "runtime/screen/end_signals.h"
#include "runtime/screen/event_loop.h"
#include "runtime/screen/form_view.h"
#include "runtime/screen/screen_platform.h"
#include "runtime/screen/x11/connection.h"
#include "runtime/screen/x11/x11_session.h"
#include "tests/screen/x11_observer.h"
#include "tests/support/directory_platform.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pellavin::testing {

// The real runner on the X server of DISPLAY, in this process: its form in
// a window of its own, driven by the real loop, with its settings in a
// directory of its own. Ending the program is recorded instead.
class PlayingRunner {
public:
    explicit PlayingRunner(const SettingsRecord& settings)
    {
        std::string problem;
        session = screen::X11Session::open(x11, "PellavinRun", problem);
        if (!session) {
            ADD_FAILURE() << problem;
            return;
        }
        real.set_screen_size(session->width_twips(), session->height_twips());
        real.set_end_action([this](int status) { ends.push_back(status); });
        settings.Store(dir.file("Settings.dat"));
        form.emplace(platform, random);
        view.emplace(*form, session->pixels(), session->surface());
        session->attach(&*view);
        loop.emplace(*session, view->clock(), signals);
        form->load();
    }

    ~PlayingRunner()
    {
        if (session) session->attach(nullptr);
    }

    // Runs the loop until `done` holds, for up to `limit`; returns whether it did.
    bool run_until(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            if (!loop->turn(10)) return false;
        }
        return true;
    }

    // Lets the runner take what the server has for it, and draw.
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            loop->turn(0);
            std::free(xcb_get_input_focus_reply(x11.get(), xcb_get_input_focus(x11.get()), nullptr));
        }
    }

    bool exposed() { return run_until([this] { return session->exposed(); }); }
    screen::X11GameWindow& window() { return *session->game_window(); }

    TempDir dir;
    screen::X11Connection x11;
    std::unique_ptr<screen::X11Session> session;
    screen::ScreenPlatform real{"PellavinRun"};
    DirectoryPlatform platform{real, dir.path().string()};
    screen::EndSignals signals;
    runtime::ClockSeededRandom random;
    std::optional<runner::Form1> form;
    std::optional<screen::FormView> view;
    std::optional<screen::EventLoop> loop;
    std::vector<int> ends;
};

// A test's own view of the X server's screen, and the runner it opens there.
class X11RunnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!observer.connected()) GTEST_SKIP() << "no X server";
    }

    PlayingRunner& open(const SettingsRecord& settings)
    {
        runner.emplace(settings);
        EXPECT_TRUE(runner->exposed());
        runner->settle();
        return *runner;
    }

    screen::Rect monitor() const { return screen::primary_monitor(runner->session->facts().monitors).geometry; }

    X11Observer observer;
    std::optional<PlayingRunner> runner;
};

}  // namespace pellavin::testing
