#include "runner/form1.h"

#include "runtime/core/numbers.h"

namespace pellavin::runner {
namespace {

// A served step has the magnitude r × 20 + 40: 40 to 60 twips a tick.
constexpr float kServeBase = 40.0f;
constexpr float kServeSpread = 20.0f;

double served_magnitude(float r) { return static_cast<double>(r) * kServeSpread + kServeBase; }

}  // namespace

// The ball goes up and to the left, towards the top paddle, and the game's
// timers start. With autoplay off the ball waits for the first arrow key.
void Form1::SetupPong()
{
    BallDY = runtime::round_to_int16(-served_magnitude(Rnd()));
    BallDX = runtime::round_to_single(-served_magnitude(Rnd()));
    BottomPaddle.set_Top(
        runtime::round_to_single(static_cast<double>(ScreenHeight) - static_cast<double>(BottomPaddle.Height())));
    if (ManualPlay == 0) BallMovement.set_Enabled(true);
    Intersection.set_Enabled(true);
    TP.set_Enabled(true);
    BP.set_Enabled(true);
}

// The only place where the ball moves: by its step, nothing tested.
void Form1::BallMovement_Timer()
{
    Ball.set_Left(runtime::round_to_single(static_cast<double>(Ball.Left()) + static_cast<double>(BallDX)));
    Ball.set_Top(runtime::round_to_single(static_cast<double>(Ball.Top()) + static_cast<double>(BallDY)));
}

}  // namespace pellavin::runner
