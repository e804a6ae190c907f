#include "tests/screen/playing_runner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace pellavin::testing {
namespace {

// Real keys and clicks, made through the X server, on the runner's window.
class X11RunnerInputTest : public ::testing::Test {
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

    static SettingsRecord waiting_ball()
    {
        SettingsRecord settings;
        settings.NoAutoplay = -1;
        return settings;
    }

    X11Observer observer;
    std::optional<PlayingRunner> runner;
};

TEST_F(X11RunnerInputTest, ArrowKeysMoveTheBottomPaddleAndAutoRepeatsCount)
{
    // Shift pressed alone is a key of its own, which ends the game: here it
    // is held down from before the game shows.
    observer.key(XKB_KEY_Shift_L, true);
    PlayingRunner& game = open(waiting_ball());
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

TEST_F(X11RunnerInputTest, AnyOtherKeyEndsTheRunnerTabAndModifiersIncluded)
{
    for (const uint32_t key : {XKB_KEY_Tab, XKB_KEY_Shift_L, XKB_KEY_Escape, XKB_KEY_space, XKB_KEY_dead_circumflex}) {
        PlayingRunner& game = open({});
        if (key == XKB_KEY_dead_circumflex) continue;  // not on the server's keyboard: keys_test has it
        observer.tap(key);
        EXPECT_TRUE(game.run_until([&] { return !game.ends.empty(); })) << key;
        EXPECT_EQ(game.ends, (std::vector<int>{0})) << key;
        EXPECT_TRUE(game.form->ended());
        game.settle();
        EXPECT_FALSE(observer.viewable(game.window().window())) << "nothing shows after the end";
    }
}

// The game takes the keyboard as it shows: keys reach it wherever the
// pointer or the focus is.
TEST_F(X11RunnerInputTest, TheGameHoldsTheKeyboard)
{
    PlayingRunner& game = open({});
    ASSERT_TRUE(game.run_until([&] { return game.window().keyboard_taken(); }));
    EXPECT_TRUE(observer.keyboard_grabbed_elsewhere());
}

TEST_F(X11RunnerInputTest, AClickEndsTheRunner)
{
    PlayingRunner& game = open({});
    observer.click(500, 300);
    EXPECT_TRUE(game.run_until([&] { return !game.ends.empty(); }));
    EXPECT_EQ(game.ends, (std::vector<int>{0}));
}

TEST_F(X11RunnerInputTest, ClicksWheelsAndMouseMovesAreIgnoredWhenClicksAreOff)
{
    SettingsRecord settings;
    settings.NoResumeOnClick = -1;
    PlayingRunner& game = open(settings);
    observer.move_pointer(10, 10);
    observer.move_pointer(600, 400);
    observer.click(500, 300);
    observer.click(500, 300, 3);
    game.run_until([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(game.ends.empty());
    EXPECT_FALSE(game.form->ended());
}

TEST_F(X11RunnerInputTest, TheWheelIsNoClick)
{
    PlayingRunner& game = open({});
    observer.click(500, 300, 4);
    observer.click(500, 300, 5);
    game.run_until([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(game.ends.empty());
}

TEST_F(X11RunnerInputTest, TheBallMovesOnTheTickClock)
{
    PlayingRunner& game = open({});
    const float start_left = game.form->Ball.Left();
    game.run_until([] { return false; }, std::chrono::milliseconds(200));  // about a dozen ticks at 64 Hz
    EXPECT_LT(game.form->Ball.Left(), start_left);
    EXPECT_GT(game.view->clock().ticks(), 0u);
}

}  // namespace
}  // namespace pellavin::testing
