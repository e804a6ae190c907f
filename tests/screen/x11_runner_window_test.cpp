#include "tests/screen/playing_runner.h"

#include <gtest/gtest.h>

namespace pellavin::testing {
namespace {

using screen::Rect;
using screen::Rgb;

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr double kBaseDpi = 96.0;

// The runner's window on the X server at the scale its Xft.dpi sets (the
// test runs at 96, 144 and 192 DPI): the same pixels as on every platform.
class X11RunnerWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!observer.connected()) GTEST_SKIP() << "no X server";
        // The still scene: nothing moves, so every pixel is where it starts.
        SettingsRecord record;
        record.GameType = 1;
        runner.emplace(record);
        ASSERT_TRUE(runner->exposed());
    }

    double ratio() const { return runner->session->facts().dpi / kBaseDpi; }
    Rect monitor() const { return screen::primary_monitor(runner->session->facts().monitors).geometry; }

    X11Observer::Image shot()
    {
        runner->settle();
        return observer.shot(monitor());
    }

    X11Observer observer;
    std::optional<PlayingRunner> runner;
};

TEST_F(X11RunnerWindowTest, CoversTheWholeScreenInBlack)
{
    EXPECT_EQ(observer.geometry(runner->window().window()), monitor());
    EXPECT_TRUE(observer.viewable(runner->window().window()));
    const double twips_per_pixel = 1440.0 / runner->session->facts().dpi;
    EXPECT_EQ(runner->form->ScreenWidth, static_cast<float>(monitor().width * twips_per_pixel));
    const X11Observer::Image image = shot();
    EXPECT_EQ(image.at(image.width - 1, image.height - 1), kBlack);
    EXPECT_EQ(image.at(400, 500), kBlack);
}

TEST_F(X11RunnerWindowTest, DrawsTheBallAndPaddlesAtTheirPlaces)
{
    if (ratio() != 1.0) GTEST_SKIP() << "pixel places below assume 96 DPI";
    const X11Observer::Image image = shot();
    // Paddles: 145 by 17, corners included.
    for (const auto& [x, y] : {std::pair{80, 0}, std::pair{80, 312}}) {
        for (const auto& [dx, dy] : {std::pair{0, 0}, std::pair{144, 0}, std::pair{0, 16}, std::pair{144, 16}}) {
            EXPECT_EQ(image.at(x + dx, y + dy), kWhite) << x << "," << y << " + " << dx << "," << dy;
        }
        EXPECT_EQ(image.at(x + 145, y + 8), kBlack);
        EXPECT_EQ(image.at(x - 1, y + 8), kBlack);
    }
    EXPECT_EQ(image.at(80, 17), kBlack);
    // The ball: a 17-pixel circle in the square at (104, 224).
    for (const auto& [x, y] : {std::pair{112, 232}, std::pair{104, 232}, std::pair{120, 232}, std::pair{112, 224}, std::pair{112, 240}}) {
        EXPECT_EQ(image.at(x, y), kWhite) << x << "," << y;
    }
    EXPECT_EQ(image.at(104, 224), kBlack) << "a circle leaves its square's corners";
    EXPECT_EQ(image.at(121, 232), kBlack);
    EXPECT_EQ(image.at(112, 241), kBlack);
}

struct ScaledScene {
    double ratio;
    Rect top_paddle;
    Rect ball;
    Rect bottom_paddle;
};

// Every edge lands on the device pixel its twips round to.
TEST_F(X11RunnerWindowTest, TheStillSceneIsExactAtTheScreensScale)
{
    const ScaledScene scenes[] = {
        {1.0, {80, 0, 145, 17}, {104, 224, 17, 17}, {80, 312, 145, 17}},
        {1.5, {120, 0, 218, 26}, {156, 336, 26, 26}, {120, 468, 218, 26}},
        {2.0, {160, 0, 290, 34}, {208, 448, 34, 34}, {160, 624, 290, 34}},
    };
    const ScaledScene* scene = nullptr;
    for (const ScaledScene& each : scenes) {
        if (each.ratio == ratio()) scene = &each;
    }
    ASSERT_NE(scene, nullptr) << "no scene for the ratio " << ratio();
    const X11Observer::Image image = shot();
    const int width = image.width;
    const int ball_rows = scene->bottom_paddle.y - scene->top_paddle.bottom();
    EXPECT_EQ(image.lit_box({0, 0, width, scene->top_paddle.bottom()}), scene->top_paddle);
    EXPECT_EQ(image.lit_box({0, scene->top_paddle.bottom(), width, ball_rows}), scene->ball);
    EXPECT_EQ(image.lit_box({0, scene->bottom_paddle.y, width, image.height - scene->bottom_paddle.y}),
        scene->bottom_paddle);
}

// No pointer shows over the window, no frame of a window manager, and
// nothing but the shapes: the frame "Pong Operators" never shows.
TEST_F(X11RunnerWindowTest, HidesThePointerAndTheFrame)
{
    observer.move_pointer(monitor().x + 600, monitor().y + 400);
    runner->settle();
    EXPECT_FALSE(observer.pointer_shows());
    const xcb_window_t window = runner->window().window();
    EXPECT_EQ(observer.cardinals(window, "_MOTIF_WM_HINTS"), (std::vector<uint32_t>{2, 0, 0, 0, 0}))
        << "no decorations";
    EXPECT_EQ(observer.cardinals(window, "_NET_WM_STATE").size(), 1u);
    const X11Observer::Image image = shot();
    const Rect ball = runner->view->scene().place_of(runner->form->Ball);
    const Rect paddle = runner->view->scene().place_of(runner->form->TopPaddle);
    EXPECT_EQ(image.lit_box({0, paddle.bottom(), image.width, ball.y - paddle.bottom()}), Rect{});
}

TEST_F(X11RunnerWindowTest, RepaintsWhatMoved)
{
    if (ratio() != 1.0) GTEST_SKIP() << "pixel places below assume 96 DPI";
    runner->form->Ball.set_Left(15 * 300);
    runner->form->Ball.set_FillColor(0x0000FF);  // red
    const X11Observer::Image image = shot();
    EXPECT_EQ(image.at(112, 232), kBlack) << "the old place was not cleared";
    EXPECT_EQ(image.at(308, 232), kRed);
    EXPECT_EQ(image.at(300, 232), kWhite) << "the outline stays white";
}

// The serve puts the bottom paddle on the screen's bottom edge; the ball
// waits for an arrow key, so the paddle stays where it was put.
TEST(X11ServedRunnerWindowTest, TheBottomPaddleEndsOnTheScreensLastRow)
{
    X11Observer observer;
    if (!observer.connected()) GTEST_SKIP() << "no X server";
    SettingsRecord record;
    record.NoAutoplay = -1;
    PlayingRunner runner(record);
    ASSERT_TRUE(runner.exposed());
    runner.settle();
    const X11Observer::Image image = observer.shot(screen::primary_monitor(runner.session->facts().monitors).geometry);
    const Rect paddle = runner.view->scene().place_of(runner.form->BottomPaddle);
    EXPECT_EQ(paddle.bottom(), image.height);
    EXPECT_EQ(image.lit_box({0, paddle.y - 1, image.width, image.height - paddle.y + 1}), paddle);
}

}  // namespace
}  // namespace pellavin::testing
