#pragma once

// The game's controls keep the names of its design; what each one is:
//   Ball, TopPaddle, BottomPaddle  the three shapes that play
//   BallMovement  the timer that moves the ball
//   Intersection  the timer that bounces it off the paddles and the sides
//   TP, BP        the timers that move the top paddle and, in Autoplay, the bottom one
//   Frame1 "Pong Operators" with Label2 "Ball", Label3 "Top Paddle" and
//   Label4 "Bottom Paddle": a hidden legend, never shown

#include "runner/game_settings.h"
#include "runtime/core/form.h"
#include "runtime/core/frame.h"
#include "runtime/core/label.h"
#include "runtime/core/shape.h"
#include "runtime/core/timer.h"

#include <cstdint>

namespace pellavin::runner {

// The runner's one window: a borderless black window over the whole screen
// with a ball and two paddles, driven by four timers.
class Form1 final : public runtime::Form {
public:
    Form1(runtime::Platform& platform, runtime::RandomSequence& random, GameSettings& stored_settings);

    // Controls, in creation order. The frame and its labels never show.
    runtime::Frame Frame1;
    runtime::Timer Intersection;
    runtime::Timer BP;
    runtime::Timer TP;
    runtime::Timer BallMovement;
    runtime::Label Label4;
    runtime::Label Label3;
    runtime::Label Label2;
    runtime::Shape BottomPaddle;
    runtime::Shape Ball;
    runtime::Shape TopPaddle;

    // Form-level state.
    float ScreenWidth = 0;
    // Wider than 16 bits, so that screens more than 32767 twips high play.
    int32_t ScreenHeight = 0;
    float BallDX = 0;  // empty until the serve, which counts as 0
    int16_t BallDY = 0;
    int16_t ManualPlay = 0;
    SettingsRecord Settings;

    // Handlers.
    void Form_Load() override;
    void SetupPong();
    void BallMovement_Timer();
    void Intersection_Timer();
    void TP_Timer();
    void BP_Timer();
    void Form_KeyDown(int16_t& KeyCode, int16_t Shift) override;
    void Form_Click() override;

private:
    runtime::Color RandomColor();
    float bottom_zone_line() const;
    float top_zone_line() const;

    GameSettings& stored_settings_;
};

}  // namespace pellavin::runner
