#pragma once

#include <chrono>
#include <cstdint>

namespace pellavin::runtime {

// The deadlines of a fixed-rate tick. Deadlines lie on a fixed grid from the
// start, so lateness never accumulates into drift; a wake-up that comes a
// whole period or more late skips the ticks it missed instead of replaying
// them in a burst.
class TickSchedule {
public:
    using Duration = std::chrono::nanoseconds;

    TickSchedule(Duration period, Duration start);

    // The clock woke at `now`: true when a tick is due now.
    bool wake(Duration now);

    Duration next_deadline() const { return next_; }
    uint64_t ticks() const { return ticks_; }
    uint64_t skipped() const { return skipped_; }

private:
    Duration period_;
    Duration next_;
    uint64_t ticks_ = 0;
    uint64_t skipped_ = 0;
};

// The platform's tick: 64 Hz.
inline constexpr std::chrono::nanoseconds kPlatformTickPeriod{15'625'000};

}  // namespace pellavin::runtime
