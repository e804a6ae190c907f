#include "runtime/core/tick_schedule.h"

namespace pellavin::runtime {

TickSchedule::TickSchedule(Duration period, Duration start)
    : period_(period)
    , next_(start + period)
{
}

bool TickSchedule::wake(Duration now)
{
    if (now < next_) return false;
    const int64_t missed = (now - next_) / period_;
    next_ += period_ * (missed + 1);
    skipped_ += static_cast<uint64_t>(missed);
    ++ticks_;
    return true;
}

}  // namespace pellavin::runtime
