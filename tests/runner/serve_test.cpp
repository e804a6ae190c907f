#include "tests/runner/game_fixture.h"

namespace pellavin::runner {
namespace {

using testing::kLargestBelowOne;

struct ServeCase {
    float first_draw;
    float second_draw;
    int16_t ball_dy;
    float ball_dx;
};

TEST_F(GameTest, TheServeSendsTheBallUpAndLeftAtARandomStep)
{
    const ServeCase cases[] = {
        {0.0f, 0.0f, -40, -40.0f},
        {0.125f, 0.125f, -42, -42.5f},  // 42.5 ties to the even 42
        {0.375f, 0.375f, -48, -47.5f},  // 47.5 ties to the even 48
        {kLargestBelowOne, kLargestBelowOne, -60, -60.0f},
        {0.0f, kLargestBelowOne, -40, -60.0f},  // BallDY draws first
    };
    for (const ServeCase& c : cases) {
        const int draws_before = random.draws;
        start({}, {c.first_draw, c.second_draw});
        EXPECT_EQ(form->BallDY, c.ball_dy) << c.first_draw;
        EXPECT_EQ(form->BallDX, c.ball_dx) << c.second_draw;
        EXPECT_EQ(random.draws - draws_before, 2);
    }
}

TEST_F(GameTest, TheServePutsTheBottomPaddleOnTheBottomEdgeAndLeavesTheBall)
{
    start();
    EXPECT_EQ(form->BottomPaddle.Top(), static_cast<float>(kScreenHeight - 255));
    EXPECT_EQ(form->BottomPaddle.Left(), 1200.0f);
    EXPECT_EQ(form->TopPaddle.Left(), 1200.0f);
    EXPECT_EQ(form->Ball.Left(), 1560.0f);
    EXPECT_EQ(form->Ball.Top(), 3360.0f);
}

TEST_F(GameTest, WithAutoplayEveryTimerRunsAndTheBallMovesAtOnce)
{
    start();
    for (const runtime::Timer* timer : {&form->BallMovement, &form->Intersection, &form->TP, &form->BP}) {
        EXPECT_TRUE(timer->Enabled()) << timer->name();
    }
    form->tick();
    EXPECT_EQ(form->Ball.Left(), 1560.0f - 50.0f);
    EXPECT_EQ(form->Ball.Top(), 3360.0f - 50.0f);
}

TEST_F(GameTest, WithAutoplayOffTheBallWaitsButTheRestRuns)
{
    SettingsRecord settings;
    settings.NoAutoplay = -1;
    start(settings);
    EXPECT_FALSE(form->BallMovement.Enabled());
    EXPECT_TRUE(form->Intersection.Enabled());
    EXPECT_TRUE(form->TP.Enabled());
    EXPECT_TRUE(form->BP.Enabled());
    for (int i = 0; i < 10; ++i) form->tick();
    EXPECT_EQ(form->Ball.Left(), 1560.0f);
    EXPECT_EQ(form->Ball.Top(), 3360.0f);
}

TEST_F(GameTest, AMotionTickAddsTheStepsKeepingTheFraction)
{
    start();
    form->BallDX = -47.25f;
    form->BallDY = -50;
    run(&Form1::BallMovement_Timer);
    EXPECT_EQ(form->Ball.Left(), 1560.0f - 47.25f);
    EXPECT_EQ(form->Ball.Top(), 3360.0f - 50.0f);
}

TEST_F(GameTest, NothingInTheMotionTickKeepsTheBallOnTheScreen)
{
    start();
    form->BallDX = -55.0f;
    form->BallDY = 55;
    place_ball(10.0f, static_cast<float>(kScreenHeight) - 10.0f);
    run(&Form1::BallMovement_Timer);
    EXPECT_EQ(form->Ball.Left(), -45.0f);
    EXPECT_EQ(form->Ball.Top(), static_cast<float>(kScreenHeight) + 45.0f);
}

}  // namespace
}  // namespace pellavin::runner
