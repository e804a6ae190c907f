#include "tests/screen/playing_runner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace pellavin::testing {
namespace {

// Real keys and clicks, made through the X server, on the runner's window.
using X11RunnerInputTest = X11RunnerTest;

// Autoplay off: the serve puts the bottom paddle on the screen's bottom
// edge, and the ball waits for an arrow key, so the paddle stays there.
TEST_F(X11RunnerInputTest, TheServedBottomPaddleEndsOnTheScreensLastRowAndArrowKeysAndTheirRepeatsMoveIt)
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

// (The dead keys, which this server's keyboard lacks, are in keyboard_test.)
TEST_F(X11RunnerInputTest, AClickOrAnyOtherKeyEndsTheRunnerTabAndModifiersIncluded)
{
    constexpr int kClick = 0;
    for (const int key : {XKB_KEY_Tab, XKB_KEY_Shift_L, XKB_KEY_Escape, XKB_KEY_space, kClick}) {
        PlayingRunner& game = open({});
        key == kClick ? observer.click(500, 300) : observer.tap(key);
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

// The wheel is no click; with clicks off, neither is any button nor a move.
TEST_F(X11RunnerInputTest, TheWheelNeverEndsTheRunnerNorClicksAndMovesWhenClicksAreOff)
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

}  // namespace
}  // namespace pellavin::testing
