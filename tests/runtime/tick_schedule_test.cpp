#include "runtime/core/tick_schedule.h"

#include <gtest/gtest.h>

#include <random>

namespace pellavin::runtime {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using std::chrono::seconds;

TEST(TickSchedule, LateWakeUpsNeverAccumulateIntoDrift)
{
    const nanoseconds start{123'456'789};
    TickSchedule schedule(kPlatformTickPeriod, start);
    std::mt19937 jitter_source(7);
    // Each wake-up comes up to 2 ms after its deadline, as a busy system's do.
    std::uniform_int_distribution<int64_t> jitter(0, 2'000'000);
    nanoseconds now = start;
    for (int i = 0; i < 10'000; ++i) {
        now = schedule.next_deadline() + nanoseconds(jitter(jitter_source));
        ASSERT_TRUE(schedule.wake(now));
    }
    EXPECT_EQ(schedule.ticks(), 10'000u);
    EXPECT_EQ(schedule.skipped(), 0u);
    // The 10 001st deadline lies exactly on the grid.
    EXPECT_EQ(schedule.next_deadline(), start + kPlatformTickPeriod * 10'001);
}

TEST(TickSchedule, AnEarlyWakeUpTicksNothing)
{
    TickSchedule schedule(kPlatformTickPeriod, nanoseconds{0});
    EXPECT_FALSE(schedule.wake(kPlatformTickPeriod - nanoseconds{1}));
    EXPECT_TRUE(schedule.wake(kPlatformTickPeriod));
    EXPECT_FALSE(schedule.wake(kPlatformTickPeriod + milliseconds{1}));
}

TEST(TickSchedule, AStallSkipsTheMissedTicksInsteadOfBursting)
{
    TickSchedule schedule(kPlatformTickPeriod, nanoseconds{0});
    ASSERT_TRUE(schedule.wake(kPlatformTickPeriod));
    // The process stops for one second: 64 ticks' worth.
    const nanoseconds after_stall = kPlatformTickPeriod + seconds{1};
    EXPECT_TRUE(schedule.wake(after_stall));
    EXPECT_FALSE(schedule.wake(after_stall)) << "a second tick at once is a burst";
    EXPECT_EQ(schedule.ticks(), 2u);
    EXPECT_EQ(schedule.skipped(), 63u);
    // Ticks go on from the same grid.
    EXPECT_EQ(schedule.next_deadline().count() % kPlatformTickPeriod.count(), 0);
    EXPECT_GT(schedule.next_deadline(), after_stall);
    EXPECT_LE(schedule.next_deadline() - after_stall, kPlatformTickPeriod);
}

}  // namespace
}  // namespace pellavin::runtime
