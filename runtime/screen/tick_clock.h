#pragma once

#include "runtime/core/tick_schedule.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <time.h>

namespace pellavin::screen {

// CLOCK_MONOTONIC, the clock of the tick's deadlines.
std::chrono::nanoseconds monotonic_now();

// The platform tick that drives every timer control: 64 Hz on a timerfd
// armed for the absolute deadlines of a TickSchedule, so it never drifts;
// ticks missed while the process was stalled are skipped, never replayed
// in a burst.
class TickClock {
public:
    explicit TickClock(std::function<void()> on_tick, std::chrono::nanoseconds period = runtime::kPlatformTickPeriod);
    ~TickClock();
    TickClock(const TickClock&) = delete;
    TickClock& operator=(const TickClock&) = delete;

    void start();
    void stop();
    bool running() const { return schedule_.has_value(); }

    // What the loop waits on; readable when a deadline has passed.
    int fd() const { return fd_; }
    // The descriptor was readable: runs the tick when one is due.
    void wake();

    uint64_t ticks() const { return ticks_ + (schedule_ ? schedule_->ticks() : 0); }
    uint64_t skipped() const { return skipped_ + (schedule_ ? schedule_->skipped() : 0); }

private:
    static timespec timespec_of(std::chrono::nanoseconds time);

    std::function<void()> on_tick_;
    std::chrono::nanoseconds period_;
    int fd_;
    std::optional<runtime::TickSchedule> schedule_;
    uint64_t ticks_ = 0;
    uint64_t skipped_ = 0;
};

}  // namespace pellavin::screen
