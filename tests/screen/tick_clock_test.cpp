#include "runtime/screen/tick_clock.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <thread>

namespace pellavin::screen {
namespace {

constexpr std::chrono::milliseconds kPeriod{10};
constexpr int kWaitLimitMs = 1000;

// A process stalled for five periods and a half: the wake after it is one
// tick, never a burst that replays the missed ones, and the clock counts
// them as skipped.
TEST(TickClock, AStallCostsTheTicksItMissedWithoutABurst)
{
    int ticks = 0;
    TickClock clock([&] {
        if (++ticks == 1) std::this_thread::sleep_for(kPeriod * 11 / 2);
    }, kPeriod);
    const auto wake = [&] {
        pollfd due{clock.fd(), POLLIN, 0};
        ASSERT_EQ(poll(&due, 1, kWaitLimitMs), 1);
        clock.wake();
    };
    clock.start();
    wake();  // stalls
    wake();
    EXPECT_EQ(ticks, 2);
    EXPECT_GE(clock.skipped(), 4u);  // the fifth is the late tick itself
    const uint64_t skipped = clock.skipped();
    wake();
    EXPECT_EQ(ticks, 3);
    clock.stop();
    pollfd stopped{clock.fd(), POLLIN, 0};
    EXPECT_EQ(poll(&stopped, 1, 3 * kPeriod.count()), 0) << "a stopped clock stays quiet";
    EXPECT_EQ(clock.ticks(), 3u);
    EXPECT_LE(clock.skipped() - skipped, 1u);
}

}  // namespace
}  // namespace pellavin::screen
