#include "runner/form1.h"

#include "runtime/core/numbers.h"

namespace pellavin::runner {
namespace {

// A step drawn at a bounce has the magnitude r × 15 + 40: 40 to 55 twips.
constexpr float kStepBase = 40.0f;
constexpr float kStepSpread = 15.0f;
constexpr float kWidthDivisor = 2.0f;
constexpr float kLeftWall = 0.0f;
constexpr int16_t kRandomColorsOn = 1;

double drawn_magnitude(float r) { return static_cast<double>(r) * kStepSpread + kStepBase; }

}  // namespace

// 65635, not 65535: the range reaches a hundred values past the green byte,
// so a random colour is a red and green mixture whose blue byte is 0 or 1.
runtime::Color Form1::RandomColor()
{
    constexpr double kColorRange = 65635.0;
    return static_cast<runtime::Color>(runtime::floor_to_int32(static_cast<double>(Rnd()) * kColorRange));
}

// Five tests, each made on every tick whatever the others found. A test
// that fires sends the ball away with a fresh step; none reads the ball's
// direction, so a ball that stays in a band is sent the same way again.
void Form1::Intersection_Timer()
{
    const bool recolor = Settings.RandomColors == kRandomColorsOn;

    // 1. The band along the top edge, as deep as the top paddle.
    if (Ball.Top() <= TopPaddle.Height()) {
        BallDY = runtime::round_to_int16(drawn_magnitude(Rnd()));
        if (recolor) {
            Ball.set_FillColor(RandomColor());
            TopPaddle.set_FillColor(RandomColor());
        }
    }

    // 2. The left edge.
    if (Ball.Left() <= kLeftWall) {
        BallDX = runtime::round_to_single(drawn_magnitude(Rnd()));
        if (recolor) Ball.set_FillColor(RandomColor());
    }

    // 3. The right edge, its bound formed and compared in single precision.
    if (Ball.Left() >= ScreenWidth - Ball.Width()) {
        BallDX = -runtime::round_to_single(drawn_magnitude(Rnd()));
        if (recolor) Ball.set_FillColor(RandomColor());
    }

    // 4. The bottom paddle: the ball's centre over it, ends included, and the
    // ball's bottom at or below the paddle's top. There is no lower limit.
    const double half_ball = static_cast<double>(Ball.Width()) / kWidthDivisor;
    const float left_limit = runtime::round_to_single(static_cast<double>(BottomPaddle.Left()) - half_ball);
    const float right_limit = runtime::round_to_single(
        static_cast<double>(BottomPaddle.Left()) + static_cast<double>(BottomPaddle.Width()) - half_ball);
    if (left_limit <= Ball.Left() && Ball.Left() <= right_limit) {
        const float paddle_line = runtime::round_to_single(
            static_cast<double>(BottomPaddle.Top()) - static_cast<double>(Ball.Height()));
        if (Ball.Top() >= paddle_line) {
            BallDY = static_cast<int16_t>(-runtime::round_to_int16(drawn_magnitude(Rnd())));
            if (recolor) {
                Ball.set_FillColor(RandomColor());
                BottomPaddle.set_FillColor(RandomColor());
            }
        }
    }

    // 5. Below the bottom of the screen the ball is lost and the game ends.
    if (Ball.Top() > static_cast<float>(ScreenHeight)) End();
}

}  // namespace pellavin::runner
