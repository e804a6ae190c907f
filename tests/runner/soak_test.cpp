#include "runner/form1.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace pellavin::runner {
namespace {

struct Screen {
    int width_pixels;
    int height_pixels;
};

// A million ticks of autoplay over several seeds and screens: every
// position stays a number, every step stays in its range, and the game
// ends only by losing the ball.
TEST(GameSoak, AutoplayStaysInBoundsForAMillionTicks)
{
    constexpr int kTicksPerRun = 125'000;
    constexpr float kLargestStep = 60.0f;
    const Screen screens[] = {{800, 600}, {1920, 1080}, {2560, 1440}, {1080, 2400}};
    const uint64_t seeds[] = {1, 2};
    testing::TempDir dir;
    for (const Screen screen : screens) {
        for (const uint64_t seed : seeds) {
            testing::RecordingPlatform platform;
            platform.path = dir.path().string();
            platform.width_twips = screen.width_pixels * 15.0f;
            platform.height_twips = screen.height_pixels * 15.0f;
            SCOPED_TRACE(::testing::Message() << screen.width_pixels << "x" << screen.height_pixels << " seed " << seed);

            runtime::ClockSeededRandom random;
            GameSettings stored;
            Form1 form(platform, random, stored);
            form.dispatch([&] { form.Form_Load(); });
            random.seed(seed);  // after the load's own reseed from the clock

            int tick = 0;
            for (; tick < kTicksPerRun && !form.ended(); ++tick) {
                form.tick();
                ASSERT_TRUE(std::isfinite(form.Ball.Left()) && std::isfinite(form.Ball.Top())) << tick;
                ASSERT_TRUE(std::isfinite(form.TopPaddle.Left()) && std::isfinite(form.BottomPaddle.Left())) << tick;
                ASSERT_GE(std::abs(form.BallDX), 40.0f) << tick;
                ASSERT_LE(std::abs(form.BallDX), 60.0f) << tick;
                ASSERT_GE(std::abs(form.BallDY), 40) << tick;
                ASSERT_LE(std::abs(form.BallDY), 60) << tick;
                // The walls and the top band turn the ball within one step.
                ASSERT_GE(form.Ball.Left(), -kLargestStep) << tick;
                ASSERT_LE(form.Ball.Left(), form.ScreenWidth - form.Ball.Width() + kLargestStep) << tick;
                ASSERT_GE(form.Ball.Top(), -kLargestStep) << tick;
            }
            EXPECT_TRUE(platform.messages.empty()) << platform.messages.front().prompt;
            if (form.ended()) {
                EXPECT_GT(form.Ball.Top(), static_cast<float>(form.ScreenHeight)) << "ended other than by fall-out";
                EXPECT_EQ(platform.ends, (std::vector<int>{0}));
            }
        }
    }
}

}  // namespace
}  // namespace pellavin::runner
