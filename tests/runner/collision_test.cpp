#include "tests/runner/game_fixture.h"

#include <vector>

namespace pellavin::runner {
namespace {

using testing::kLargestBelowOne;

// With the bottom paddle at Left 10000 on the bottom edge (Top 15945), it
// catches a ball whose Left lies from 9872.5 to 12047.5 and whose Top is at
// least 15690.
constexpr float kPaddleLeft = 10000.0f;
constexpr float kMiddleLeft = 14000.0f;
constexpr float kMiddleTop = 8000.0f;

class CollisionTest : public GameTest {
protected:
    void SetUp() override
    {
        start();
        form->BottomPaddle.set_Left(kPaddleLeft);
        form->BallDX = -1.0f;  // markers: a bounce overwrites them
        form->BallDY = -1;
    }

    // One collision tick with the ball at (left, top); r = 0 draws 40.
    void tick_at(float left, float top)
    {
        place_ball(left, top);
        random.then({0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
        draws_before = random.draws;
        run(&Form1::Intersection_Timer);
    }

    int draws() const { return random.draws - draws_before; }

    int draws_before = 0;
};

struct BoundCase {
    const char* name;
    float left;
    float top;
    float ball_dx;  // -1: untouched
    int ball_dy;    // -1: untouched
};

TEST_F(CollisionTest, EachBoundCountsAtItsEdgeAndNotJustPastIt)
{
    const BoundCase cases[] = {
        {"top band at its depth", kMiddleLeft, 255.0f, -1, 40},
        {"just below the top band", kMiddleLeft, next_up(255.0f), -1, -1},
        {"top band above the screen", kMiddleLeft, -3000.0f, -1, 40},
        {"left wall on the edge", 0.0f, kMiddleTop, 40.0f, -1},
        {"just right of the left wall", next_up(0.0f), kMiddleTop, -1, -1},
        {"beyond the left wall", -500.0f, kMiddleTop, 40.0f, -1},
        {"right wall on the edge", 28800.0f - 255.0f, kMiddleTop, -40.0f, -1},
        {"just left of the right wall", next_down(28545.0f), kMiddleTop, -1, -1},
        {"beyond the right wall", 30000.0f, kMiddleTop, -40.0f, -1},
        {"paddle's left limit", 9872.5f, 15690.0f, -1, -40},
        {"just left of the paddle", next_down(9872.5f), 15690.0f, -1, -1},
        {"paddle's right limit", 12047.5f, 15690.0f, -1, -40},
        {"just right of the paddle", next_up(12047.5f), 15690.0f, -1, -1},
        {"just above the paddle's line", 11000.0f, next_down(15690.0f), -1, -1},
        {"far below the paddle's line", 11000.0f, 16100.0f, -1, -40},
        {"top-left corner: both fire", 0.0f, 255.0f, 40.0f, 40},
        {"the middle: nothing fires", kMiddleLeft, kMiddleTop, -1, -1},
    };
    for (const BoundCase& c : cases) {
        form->BallDX = -1.0f;
        form->BallDY = -1;
        tick_at(c.left, c.top);
        EXPECT_EQ(form->BallDX, c.ball_dx) << c.name;
        EXPECT_EQ(form->BallDY, c.ball_dy) << c.name;
        EXPECT_FALSE(ended()) << c.name;
        // The tick moves nothing.
        EXPECT_EQ(form->Ball.Left(), c.left) << c.name;
        EXPECT_EQ(form->Ball.Top(), c.top) << c.name;
        EXPECT_EQ(form->BottomPaddle.Left(), kPaddleLeft) << c.name;
    }
}

TEST_F(CollisionTest, DrawnStepsSpanFortyToFiftyFiveRoundedAsStored)
{
    struct StepCase {
        float r;
        int16_t ball_dy;
        float ball_dx;
    };
    const StepCase cases[] = {
        {0.5f, 48, 47.5f},  // 47.5 ties to the even 48
        {0.1f, 42, 41.5f},
        {kLargestBelowOne, 55, 55.0f},
    };
    for (const StepCase& c : cases) {
        place_ball(0.0f, 100.0f);  // top band and left wall
        random.then({c.r, c.r});
        run(&Form1::Intersection_Timer);
        EXPECT_EQ(form->BallDY, c.ball_dy) << c.r;
        EXPECT_EQ(form->BallDX, c.ball_dx) << c.r;
    }
}

TEST_F(CollisionTest, FallOutIsStrictlyBelowTheScreen)
{
    tick_at(kMiddleLeft, 16200.0f);
    EXPECT_FALSE(ended());
    tick_at(kMiddleLeft, next_up(16200.0f));
    EXPECT_EQ(platform.ends, (std::vector<int>{0}));
    EXPECT_EQ(draws(), 0);
}

TEST_F(CollisionTest, ABallBelowTheScreenOverThePaddleIsSentUpAndStillEndsTheGame)
{
    tick_at(11000.0f, 16300.0f);
    EXPECT_EQ(form->BallDY, -40);
    EXPECT_EQ(draws(), 1);
    EXPECT_TRUE(ended());
}

TEST_F(CollisionTest, ABallThatStaysInABandIsSentTheSameWayOnEveryTick)
{
    for (int tick = 0; tick < 3; ++tick) {
        form->BallDX = -1.0f;
        tick_at(-100.0f, kMiddleTop);
        EXPECT_EQ(form->BallDX, 40.0f) << tick;
        EXPECT_EQ(draws(), 1);
    }
}

class RandomColorsTest : public CollisionTest {
protected:
    void SetUp() override
    {
        SettingsRecord settings;
        settings.RandomColors = 1;
        start(settings);
        form->BottomPaddle.set_Left(kPaddleLeft);
    }
};

TEST_F(RandomColorsTest, TopBandAndLeftWallTogetherDrawFiveTimesInOrder)
{
    place_ball(0.0f, 100.0f);
    random.then({0.5f, 0.25f, 0.75f, 0.25f, 0.125f});
    const int before = random.draws;
    run(&Form1::Intersection_Timer);
    EXPECT_EQ(random.draws - before, 5);
    EXPECT_EQ(form->BallDY, 48);              // 0.5: 47.5 to even
    EXPECT_EQ(form->TopPaddle.FillColor(), 49226u);  // floor(0.75 × 65635)
    EXPECT_EQ(form->BallDX, 43.75f);          // 0.25
    EXPECT_EQ(form->Ball.FillColor(), 8204u);  // the second of its colours: floor(0.125 × 65635)
    EXPECT_EQ(form->BottomPaddle.FillColor(), runtime::kWhite);
    EXPECT_EQ(form->Ball.BorderColor(), runtime::kWhite);
    EXPECT_EQ(form->TopPaddle.BorderColor(), runtime::kWhite);
}

TEST_F(RandomColorsTest, ThePaddleThatMeetsTheBallTakesAColourToo)
{
    place_ball(11000.0f, 15700.0f);
    random.then({0.0f, 0.5f, kLargestBelowOne});
    run(&Form1::Intersection_Timer);
    EXPECT_EQ(form->BallDY, -40);
    EXPECT_EQ(form->Ball.FillColor(), 32817u);
    // The top of the range: blue byte 1, green 0 — never a full blue.
    EXPECT_EQ(form->BottomPaddle.FillColor(), 65634u);
    EXPECT_EQ(runtime::blue_of(form->BottomPaddle.FillColor()), 1);
    EXPECT_EQ(form->TopPaddle.FillColor(), runtime::kWhite);
}

TEST_F(RandomColorsTest, OnlyExactlyOneRecolours)
{
    for (int16_t value : {int16_t{0}, int16_t{-1}, int16_t{2}}) {
        form->Settings.RandomColors = value;
        tick_at(-100.0f, 100.0f);
        EXPECT_EQ(draws(), 2) << value << ": one draw for each step and none for colours";
        EXPECT_EQ(form->Ball.FillColor(), runtime::kWhite) << value;
        EXPECT_EQ(form->TopPaddle.FillColor(), runtime::kWhite) << value;
    }
}

}  // namespace
}  // namespace pellavin::runner
