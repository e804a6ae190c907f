#include "tests/runner/game_fixture.h"

#include <vector>

namespace pellavin::runner {
namespace {

// Counts the writes that reach a paddle, to see a move and its undoing.
class MoveCounter : public runtime::FormView {
public:
    explicit MoveCounter(const runtime::Control& watched) : watched_(watched) {}
    void form_changed() override {}
    void control_changed(runtime::Control& control) override { writes += &control == &watched_; }
    void timers_changed() override {}
    int writes = 0;

private:
    const runtime::Control& watched_;
};

struct FollowCase {
    const char* name;
    float d;  // the ball's Left minus the paddle's aim
    float net_move;
    int writes;
};

struct PaddleUnderTest {
    const char* name;
    runtime::Shape Form1::*paddle;
    void (Form1::*tick)();
    float aim;
    float step;
    float ball_top;  // inside the paddle's zone on a 16200-twip screen
};

const PaddleUnderTest kPaddles[] = {
    {"bottom", &Form1::BottomPaddle, &Form1::BP_Timer, 1300.0f, 130.0f, 10000.0f},
    {"top", &Form1::TopPaddle, &Form1::TP_Timer, 1000.0f, 140.0f, 5000.0f},
};

TEST_F(GameTest, APaddleStepsTowardsItsAimAndSettlesWithinAStep)
{
    start();
    for (const PaddleUnderTest& p : kPaddles) {
        const FollowCase cases[] = {
            {"ball left of the aim", -1.0f, -p.step, 1},
            {"ball on the aim", 0.0f, 0.0f, 0},
            {"less than a step right", p.step / 2, 0.0f, 2},
            {"just under a step right", p.step - 0.5f, 0.0f, 2},
            {"a step right", p.step, p.step, 1},
            {"far right", 5000.0f, p.step, 1},
        };
        runtime::Shape& paddle = form.value().*p.paddle;
        for (const FollowCase& c : cases) {
            paddle.set_Left(5000.0f);
            place_ball(5000.0f + p.aim + c.d, p.ball_top);
            MoveCounter counter(paddle);
            form->set_view(&counter);
            run(p.tick);
            form->set_view(nullptr);
            EXPECT_EQ(paddle.Left(), 5000.0f + c.net_move) << p.name << ": " << c.name;
            EXPECT_EQ(counter.writes, c.writes) << p.name << ": " << c.name;
        }
    }
}

struct ZoneCase {
    int32_t screen_height;
    float bottom_line;  // the bottom paddle follows below it (strictly)
    float top_inside;   // the top paddle follows above these whole numbers...
    float top_outside;  // ...and not at these
};

TEST_F(GameTest, EachPaddleFollowsOnlyInsideItsZone)
{
    const ZoneCase cases[] = {
        {16200, 6075.0f, 8999.0f, 9000.0f},      // 16200 / 1.8 = 9000 exactly
        {16201, 6075.375f, 9000.0f, 9001.0f},    // / 1.8 = 9000.56: 9000 is inside
        {12000, 4500.0f, 6666.0f, 6667.0f},      // / 1.8 = 6666.67
        {36000, 13500.0f, 19999.0f, 20000.0f},   // a tall screen
    };
    for (const ZoneCase& c : cases) {
        platform.height_twips = static_cast<float>(c.screen_height);
        start();
        Form1& f = *form;
        struct Probe {
            runtime::Shape& paddle;
            void (Form1::*tick)();
            float ball_top;
            bool moves;
        };
        const Probe probes[] = {
            {f.BottomPaddle, &Form1::BP_Timer, c.bottom_line, false},
            {f.BottomPaddle, &Form1::BP_Timer, c.bottom_line + 1, true},
            {f.TopPaddle, &Form1::TP_Timer, c.top_inside, true},
            {f.TopPaddle, &Form1::TP_Timer, c.top_outside, false},
            {f.TopPaddle, &Form1::TP_Timer, static_cast<float>(c.screen_height / 1.8), false},
        };
        for (const Probe& probe : probes) {
            probe.paddle.set_Left(5000.0f);
            place_ball(20000.0f, probe.ball_top);
            run(probe.tick);
            EXPECT_EQ(probe.paddle.Left() != 5000.0f, probe.moves)
                << "height " << c.screen_height << ", ball top " << probe.ball_top;
        }
    }
}

TEST_F(GameTest, AtTheLeftWallTheBottomPaddleRestsMostlyOffTheScreen)
{
    start();
    place_ball(0.0f, 10000.0f);
    for (int i = 0; i < 100; ++i) run(&Form1::BP_Timer);
    EXPECT_GT(form->BottomPaddle.Left(), -1430.0f);
    EXPECT_LE(form->BottomPaddle.Left(), -1300.0f);
}

TEST_F(GameTest, WithAutoplayOffTheBottomPaddleNeverFollows)
{
    SettingsRecord settings;
    settings.NoAutoplay = -1;
    start(settings);
    place_ball(20000.0f, 10000.0f);
    for (int i = 0; i < 10; ++i) form->tick();
    EXPECT_EQ(form->BottomPaddle.Left(), 1200.0f);
}

// --- Keys and clicks

constexpr int16_t kLeft = 37;
constexpr int16_t kRight = 39;

struct KeyCase {
    const char* name;
    int16_t key;
    int16_t shift;
    bool ends;
    float paddle_left;
};

TEST_F(GameTest, ArrowsPushTheBottomPaddleAndEveryOtherKeyEnds)
{
    const KeyCase cases[] = {
        {"left arrow", kLeft, 0, false, 200.0f},
        {"right arrow", kRight, 0, false, 2200.0f},
        {"shift with left arrow", kLeft, 1, false, 200.0f},
        {"ctrl and alt with right arrow", kRight, 6, false, 2200.0f},
        {"up arrow", 38, 0, true, 1200.0f},
        {"shift alone", 16, 1, true, 1200.0f},
        {"ctrl alone", 17, 2, true, 1200.0f},
        {"alt alone", 18, 4, true, 1200.0f},
        {"a letter", 'A', 0, true, 1200.0f},
        {"escape", 27, 0, true, 1200.0f},
        {"a key without a code", 0, 0, true, 1200.0f},
    };
    for (const KeyCase& c : cases) {
        SettingsRecord settings;
        settings.NoAutoplay = -1;
        platform.ends.clear();
        start(settings);
        form->key_down(c.key, c.shift);
        EXPECT_EQ(ended(), c.ends) << c.name;
        EXPECT_EQ(form->BottomPaddle.Left(), c.paddle_left) << c.name;
        EXPECT_EQ(form->ManualPlay, -1) << c.name;
        EXPECT_EQ(form->BallMovement.Enabled(), !c.ends) << c.name;
        if (c.ends) {
            form->tick();
            EXPECT_EQ(form->Ball.Left(), 1560.0f) << c.name << ": something ran after the end";
        }
    }
}

TEST_F(GameTest, TheFirstArrowStartsAWaitingBallAndTakesThePaddleForGood)
{
    SettingsRecord settings;
    settings.NoAutoplay = -1;
    start(settings);
    form->key_down(kRight, 0);
    form->tick();
    EXPECT_EQ(form->Ball.Left(), 1560.0f - 50.0f);
    EXPECT_EQ(form->ManualPlay, -1);
}

TEST_F(GameTest, AnArrowDuringAutoplayEndsTheComputersSteering)
{
    start();
    form->key_down(kLeft, 0);
    EXPECT_EQ(form->BottomPaddle.Left(), 200.0f);
    place_ball(20000.0f, 10000.0f);
    for (int i = 0; i < 10; ++i) run(&Form1::BP_Timer);
    EXPECT_EQ(form->BottomPaddle.Left(), 200.0f);
}

TEST_F(GameTest, RepeatedArrowsPushThePaddleOffTheScreenAndTheGameGoesOn)
{
    start();
    for (int i = 0; i < 10000; ++i) form->key_down(kLeft, 0);
    EXPECT_EQ(form->BottomPaddle.Left(), 1200.0f - 10000 * 1000.0f);
    EXPECT_FALSE(ended());
    form->tick();
    EXPECT_FALSE(ended());
}

TEST_F(GameTest, AnArrowWithAnotherGameTypeMovesOnlyThePaddle)
{
    SettingsRecord settings;
    settings.GameType = 1;
    start(settings, {});
    form->key_down(kRight, 0);
    EXPECT_TRUE(form->BallMovement.Enabled());
    EXPECT_EQ(form->ManualPlay, -1);
    EXPECT_EQ(form->BottomPaddle.Left(), 2200.0f);
    EXPECT_EQ(form->BottomPaddle.Top(), 4680.0f);
    for (int i = 0; i < 5; ++i) form->tick();
    EXPECT_EQ(form->Ball.Left(), 1560.0f);
    EXPECT_EQ(form->Ball.Top(), 3360.0f);
    EXPECT_EQ(random.draws, 0);
}

TEST_F(GameTest, AClickEndsUnlessClicksAreOff)
{
    for (int16_t no_resume : {int16_t{-1}, int16_t{1}, int16_t{5}}) {
        SettingsRecord settings;
        settings.NoResumeOnClick = no_resume;
        start(settings);
        for (int i = 0; i < 1000; ++i) form->click();
        EXPECT_FALSE(ended()) << no_resume;
    }
    start();
    form->click();
    EXPECT_EQ(platform.ends, (std::vector<int>{0}));
}

}  // namespace
}  // namespace pellavin::runner
