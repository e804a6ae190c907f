#include "tests/screen/playing_runner.h"

#include <gtest/gtest.h>

#include <algorithm>

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
class X11RunnerWindowTest : public X11RunnerTest {
protected:
    void SetUp() override
    {
        X11RunnerTest::SetUp();
        if (IsSkipped()) return;
        // The still scene: nothing moves, so every pixel is where it starts.
        SettingsRecord record;
        record.GameType = 1;
        runner.emplace(record);
        ASSERT_TRUE(runner->exposed());
    }

    double ratio() const { return runner->session->facts().dpi / kBaseDpi; }

    X11Observer::Image shot()
    {
        runner->settle();
        return observer.shot(monitor());
    }
};

// The window covers the monitor, black but for the shapes; every edge
// lands on the device pixel its twips round to; the paddles are solid to
// their corners, and the ball is a disc that leaves its square's corners.
TEST_F(X11RunnerWindowTest, CoversTheScreenInBlackWithTheStillSceneExactAtItsScale)
{
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
    const X11Observer::Image image = shot();
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
}

// No pointer shows over the window, and no frame of a window manager
// (nor the form's frame: the still scene above has nothing but the shapes).
TEST_F(X11RunnerWindowTest, HidesThePointerAndTheFrame)
{
    observer.move_pointer(monitor().x + 600, monitor().y + 400);
    runner->settle();
    EXPECT_FALSE(observer.pointer_shows());
    const xcb_window_t window = runner->window().window();
    EXPECT_EQ(observer.cardinals(window, "_MOTIF_WM_HINTS"), (std::vector<uint32_t>{2, 0, 0, 0, 0}))
        << "no decorations";
    EXPECT_EQ(observer.cardinals(window, "_NET_WM_STATE").size(), 1u);
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

}  // namespace
}  // namespace pellavin::testing
