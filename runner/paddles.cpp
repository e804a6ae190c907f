#include "runner/form1.h"

#include "runtime/core/numbers.h"

namespace pellavin::runner {
namespace {

// The bottom paddle steers its Left 1300 twips left of the ball's, not half
// its width (1087.5): the ball rides over the paddle's right half.
constexpr float kBottomAimOffset = 1300.0f;
constexpr float kBottomStep = 130.0f;
// It follows only while the ball is below three eighths of the screen.
constexpr double kBottomZoneDivisor = 1.6;

// The top paddle steers its Left 1000 twips left of the ball's.
constexpr float kTopAimOffset = 1000.0f;
constexpr float kTopStep = 140.0f;
// It follows only while the ball is above the screen's height / 1.8.
constexpr double kTopZoneDivisor = 1.8;

constexpr float kKeyStep = 1000.0f;
constexpr int16_t kLeftArrow = 37;
constexpr int16_t kRightArrow = 39;

float moved(float left, float step)
{
    return runtime::round_to_single(static_cast<double>(left) + static_cast<double>(step));
}

}  // namespace

float Form1::bottom_zone_line() const
{
    const double height = ScreenHeight;
    return runtime::round_to_single(height - height / kBottomZoneDivisor);
}

float Form1::top_zone_line() const
{
    return runtime::round_to_single(static_cast<double>(ScreenHeight) / kTopZoneDivisor);
}

// While the computer has the bottom paddle, it moves it a step towards its
// aim. Both directions are tested on every tick, so a paddle just short of
// its aim steps right and straight back.
void Form1::BP_Timer()
{
    if (ManualPlay != 0) return;

    const bool lags = moved(BottomPaddle.Left(), kBottomAimOffset) < Ball.Left();
    const bool in_zone = bottom_zone_line() < Ball.Top();
    if (lags && in_zone) BottomPaddle.set_Left(moved(BottomPaddle.Left(), kBottomStep));

    const bool leads = moved(BottomPaddle.Left(), kBottomAimOffset) > Ball.Left();
    const bool still_in_zone = bottom_zone_line() < Ball.Top();
    if (leads && still_in_zone) BottomPaddle.set_Left(moved(BottomPaddle.Left(), -kBottomStep));
}

// The top paddle always follows the ball in its zone.
void Form1::TP_Timer()
{
    const bool lags = moved(TopPaddle.Left(), kTopAimOffset) < Ball.Left();
    const bool in_zone = top_zone_line() > Ball.Top();
    if (lags && in_zone) TopPaddle.set_Left(moved(TopPaddle.Left(), kTopStep));

    const bool leads = moved(TopPaddle.Left(), kTopAimOffset) > Ball.Left();
    const bool still_in_zone = top_zone_line() > Ball.Top();
    if (leads && still_in_zone) TopPaddle.set_Left(moved(TopPaddle.Left(), -kTopStep));
}

// The arrows take the bottom paddle over for good and start a waiting ball;
// any other key ends the game. Modifiers make no difference.
void Form1::Form_KeyDown(int16_t& KeyCode, int16_t /*Shift*/)
{
    if (KeyCode != kLeftArrow && KeyCode != kRightArrow) End();
    BallMovement.set_Enabled(true);
    ManualPlay = -1;
    if (KeyCode == kLeftArrow) {
        BottomPaddle.set_Left(moved(BottomPaddle.Left(), -kKeyStep));
    } else {
        BottomPaddle.set_Left(moved(BottomPaddle.Left(), kKeyStep));
    }
}

void Form1::Form_Click()
{
    if (Settings.NoResumeOnClick == 0) End();
}

}  // namespace pellavin::runner
