#include "runner/form1.h"
#include "runtime/screen/end_signals.h"
#include "runtime/screen/event_loop.h"
#include "runtime/screen/screen_form.h"
#include "runtime/screen/screen_platform.h"
#include "runtime/screen/x11/connection.h"
#include "runtime/screen/x11/x11_session.h"
#include "tests/screen/x11_observer.h"
#include "tests/support/directory_platform.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace pellavin::testing {
namespace {

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
        form.emplace(platform, random, stored);
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
    runner::GameSettings stored;
    std::optional<runner::Form1> form;
    std::optional<screen::ScreenForm> view;
    std::optional<screen::EventLoop> loop;
    std::vector<int> ends;
};

using screen::Rect;
using screen::Rgb;

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr double kBaseDpi = 96.0;

// A test's own view of the X server's screen (at 96, 144 or 192 DPI, as its
// Xft.dpi sets), and the runner it opens there.
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

    Rect monitor() const { return screen::primary_monitor(runner->session->facts().monitors).geometry; }
    double ratio() const { return runner->session->facts().dpi / kBaseDpi; }

    X11Observer observer;
    std::optional<PlayingRunner> runner;
};

// The window covers the monitor, black but for the shapes, at the scale of
// the server's DPI: every edge lands on the device pixel its twips round
// to; the paddles are solid to their corners, and the ball is a disc that
// leaves its square's corners. No pointer shows over the window, and no
// frame of a window manager (nor the form's: the scene has nothing but the
// shapes).
TEST_F(X11RunnerTest, CoversTheScreenWithTheStillSceneExactAtItsScaleWithoutPointerOrFrame)
{
    SettingsRecord still;  // nothing moves, so every pixel is where it starts
    still.GameType = 1;
    open(still);
    EXPECT_EQ(observer.geometry(runner->window().window()), monitor());
    EXPECT_TRUE(observer.viewable(runner->window().window()));
    const double twips_per_pixel = 1440.0 / runner->session->facts().dpi;
    EXPECT_EQ(runner->form->ScreenWidth, static_cast<float>(monitor().width * twips_per_pixel));
    const struct {
        double ratio;
        Rect top_paddle, ball, bottom_paddle;
    } scenes[] = {
        {1.0, {80, 0, 145, 17}, {104, 224, 17, 17}, {80, 312, 145, 17}},
        {1.5, {120, 0, 218, 26}, {156, 336, 26, 26}, {120, 468, 218, 26}},
        {2.0, {160, 0, 290, 34}, {208, 448, 34, 34}, {160, 624, 290, 34}},
    };
    const auto scene = std::find_if(std::begin(scenes), std::end(scenes), [&](const auto& s) { return s.ratio == ratio(); });
    ASSERT_NE(scene, std::end(scenes)) << "no scene for the ratio " << ratio();
    const X11Observer::Image image = observer.shot(monitor());
    const int width = image.width;
    const int ball_rows = scene->bottom_paddle.y - scene->top_paddle.bottom();
    EXPECT_EQ(image.lit_box({0, 0, width, scene->top_paddle.bottom()}), scene->top_paddle);
    EXPECT_EQ(image.lit_box({0, scene->top_paddle.bottom(), width, ball_rows}), scene->ball);
    EXPECT_EQ(image.lit_box({0, scene->bottom_paddle.y, width, image.height - scene->bottom_paddle.y}),
        scene->bottom_paddle);
    for (const Rect& paddle : {scene->top_paddle, scene->bottom_paddle}) {
        for (const int x : {paddle.x, paddle.right() - 1}) {
            for (const int y : {paddle.y, paddle.bottom() - 1}) EXPECT_EQ(image.at(x, y), kWhite) << x << "," << y;
        }
    }
    const Rect& ball = scene->ball;
    const int middle_x = ball.x + ball.width / 2, middle_y = ball.y + ball.height / 2;
    for (const auto& [x, y] : {std::pair{middle_x, middle_y}, std::pair{ball.x, middle_y},
             std::pair{ball.right() - 1, middle_y}, std::pair{middle_x, ball.y}, std::pair{middle_x, ball.bottom() - 1}}) {
        EXPECT_EQ(image.at(x, y), kWhite) << x << "," << y;
    }
    EXPECT_EQ(image.at(ball.x, ball.y), kBlack) << "a circle leaves its square's corners";

    observer.move_pointer(monitor().x + 600, monitor().y + 400);
    runner->settle();
    EXPECT_FALSE(observer.pointer_shows());
    const xcb_window_t window = runner->window().window();
    EXPECT_EQ(observer.cardinals(window, "_MOTIF_WM_HINTS"), (std::vector<uint32_t>{2, 0, 0, 0, 0}))
        << "no decorations";
    EXPECT_EQ(observer.cardinals(window, "_NET_WM_STATE").size(), 1u);
}

TEST_F(X11RunnerTest, RepaintsWhatMoved)
{
    SettingsRecord still;
    still.GameType = 1;
    open(still);
    if (ratio() != 1.0) GTEST_SKIP() << "pixel places below assume 96 DPI";
    runner->form->Ball.set_Left(15 * 300);
    runner->form->Ball.set_FillColor(0x0000FF);  // red
    runner->settle();
    const X11Observer::Image image = observer.shot(monitor());
    EXPECT_EQ(image.at(112, 232), kBlack) << "the old place was not cleared";
    EXPECT_EQ(image.at(308, 232), kRed);
    EXPECT_EQ(image.at(300, 232), kWhite) << "the outline stays white";
}

// Autoplay off: the serve puts the bottom paddle on the screen's bottom
// edge, and the ball waits for an arrow key, so the paddle stays there.
TEST_F(X11RunnerTest, TheServedBottomPaddleEndsOnTheScreensLastRowAndArrowKeysAndTheirRepeatsMoveIt)
{
    // Shift pressed alone is a key of its own, which ends the game: here it
    // is held down from before the game shows.
    observer.key(XKB_KEY_Shift_L, true);
    SettingsRecord waiting_ball;
    waiting_ball.NoAutoplay = -1;
    PlayingRunner& game = open(waiting_ball);
    const X11Observer::Image image = observer.shot(monitor());
    const screen::Rect paddle = game.view->scene().place_of(game.form->BottomPaddle);
    EXPECT_EQ(paddle.bottom(), image.height);
    EXPECT_EQ(image.lit_box({0, paddle.y - 1, image.width, image.height - paddle.y + 1}), paddle);

    observer.tap(XKB_KEY_Right);
    observer.key(XKB_KEY_Shift_L, false);
    ASSERT_TRUE(game.run_until([&] { return game.form->BottomPaddle.Left() == 2200.0f; }));
    // The key held down: the server repeats its press, and every repeat
    // is a push of its own.
    observer.key(XKB_KEY_Left, true);
    EXPECT_TRUE(game.run_until([&] { return game.form->BottomPaddle.Left() <= -1800.0f; }));
    observer.key(XKB_KEY_Left, false);
    game.settle();
    EXPECT_EQ(std::fmod(game.form->BottomPaddle.Left() - 1200.0f, 1000.0f), 0.0f) << game.form->BottomPaddle.Left();
    EXPECT_TRUE(game.form->BallMovement.Enabled());
    EXPECT_TRUE(game.ends.empty());
}

// Keys reach the game by the focus it has once it shows (set by itself
// here, where no window manager runs), never by a grab: any client may take
// the keyboard while it plays. A click or any key ends it, Tab and a
// modifier alone included. (The dead keys, which this server's keyboard
// lacks, are in keyboard_test.)
TEST_F(X11RunnerTest, KeysReachTheGameByTheFocusAndAClickOrAnyOtherKeyEndsIt)
{
    constexpr int kClick = 0;
    for (const int key : {XKB_KEY_Tab, XKB_KEY_Shift_L, XKB_KEY_Escape, XKB_KEY_space, kClick}) {
        PlayingRunner& game = open({});
        ASSERT_TRUE(game.run_until([&] { return observer.focus() == game.window().window(); })) << key;
        key == kClick ? observer.click(500, 300) : observer.tap(key);
        EXPECT_TRUE(game.run_until([&] { return !game.ends.empty(); })) << key;
        EXPECT_EQ(game.ends, (std::vector<int>{0})) << key;
        EXPECT_TRUE(game.form->ended());
        game.settle();
        EXPECT_FALSE(observer.viewable(game.window().window())) << "nothing shows after the end";
    }
}

// A screen locker takes the keyboard, or covers the screen with a window of
// its own (here, one of them at a time): the game holds nothing that stops
// it, ends as it comes, and leaves the locker's window on top.
TEST_F(X11RunnerTest, AScreenLockerThatTakesTheKeyboardOrCoversTheScreenEndsTheGameAndStaysOnTop)
{
    for (const bool grab : {true, false}) {
        PlayingRunner& game = open({});
        ASSERT_TRUE(game.run_until([&] { return observer.focus() == game.window().window(); }));
        const xcb_window_t locker = grab ? observer.show_window({0, 0, 1, 1}) : observer.show_window(monitor());
        if (grab) {
            EXPECT_TRUE(observer.take_keyboard()) << "the game holds the keyboard";
        }
        EXPECT_TRUE(game.run_until([&] { return !game.ends.empty(); })) << "grab: " << grab;
        EXPECT_EQ(game.ends, (std::vector<int>{0}));
        game.settle();
        EXPECT_FALSE(observer.viewable(game.window().window()));
        EXPECT_EQ(observer.topmost(), locker);
        observer.give_keyboard_back();
        xcb_destroy_window(observer.get(), locker);
    }
}

// The wheel is no click; with clicks off, neither is any button nor a move.
TEST_F(X11RunnerTest, TheWheelNeverEndsTheRunnerNorClicksAndMovesWhenClicksAreOff)
{
    SettingsRecord clicks_off;
    clicks_off.NoResumeOnClick = -1;
    for (const bool off : {false, true}) {
        PlayingRunner& game = open(off ? clicks_off : SettingsRecord{});
        if (off) {
            observer.move_pointer(10, 10);
            observer.move_pointer(600, 400);
        }
        for (const uint8_t button : off ? std::vector<uint8_t>{1, 3, 4, 5} : std::vector<uint8_t>{4, 5}) {
            observer.click(500, 300, button);
        }
        game.run_until([] { return false; }, std::chrono::milliseconds(200));
        EXPECT_TRUE(game.ends.empty()) << "clicks off: " << off;
        EXPECT_FALSE(game.form->ended());
    }
}

// Nobody sees the game while windows cover it (none of them the whole
// screen: no locker's), while it is unmapped or while the server's own
// screen saver is on: its tick rests and the ball stays where it was; seen
// again, the ball goes on from there.
TEST_F(X11RunnerTest, RestsWhileNobodyCanSeeItAndGoesOnFromWhereItWas)
{
    PlayingRunner& game = open({});
    xcb_connection_t* c = observer.get();
    const Rect m = monitor();
    std::vector<xcb_window_t> halves;
    const auto cover = [&] {
        halves = {observer.show_window({m.x, m.y, m.width / 2 + 1, m.height}),
            observer.show_window({m.x + m.width / 2, m.y, m.width - m.width / 2, m.height})};
    };
    const auto uncover = [&] {
        for (const xcb_window_t half : halves) xcb_destroy_window(c, half);
    };
    const xcb_window_t window = game.window().window();
    const struct {
        const char* what;
        std::function<void()> hide, show;
    } ways[] = {
        {"covered", cover, uncover},
        {"unmapped", [&] { xcb_unmap_window(c, window); }, [&] { xcb_map_window(c, window); }},
        {"screen saver", [&] { xcb_force_screen_saver(c, XCB_SCREEN_SAVER_ACTIVE); },
            [&] { xcb_force_screen_saver(c, XCB_SCREEN_SAVER_RESET); }},
    };
    const runtime::Shape& ball = game.form->Ball;
    for (const auto& way : ways) {
        ASSERT_TRUE(game.view->clock().running()) << way.what;
        way.hide();
        observer.sync();
        EXPECT_TRUE(game.run_until([&] { return !game.view->clock().running(); })) << way.what;
        const float left = ball.Left();
        const uint64_t ticks = game.view->clock().ticks();
        game.run_until([] { return false; }, std::chrono::milliseconds(200));
        EXPECT_EQ(game.view->clock().ticks(), ticks) << way.what;
        way.show();
        observer.sync();
        EXPECT_TRUE(game.run_until([&] { return ball.Left() != left; })) << way.what;
        EXPECT_NEAR(std::fabs(ball.Left() - left), std::fabs(game.form->BallDX), 0.01) << way.what << ": one step, no burst";
    }
    EXPECT_TRUE(game.ends.empty());
}

}  // namespace
}  // namespace pellavin::testing
