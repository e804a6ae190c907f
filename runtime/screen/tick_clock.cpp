#include "runtime/screen/tick_clock.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

}  // namespace

std::chrono::nanoseconds monotonic_now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::chrono::nanoseconds(int64_t{t.tv_sec} * kNanosecondsPerSecond + t.tv_nsec);
}

TickClock::TickClock(std::function<void()> on_tick, std::chrono::nanoseconds period)
    : on_tick_(std::move(on_tick))
    , period_(period)
    , fd_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
}

TickClock::~TickClock()
{
    if (fd_ >= 0) close(fd_);
}

timespec TickClock::timespec_of(std::chrono::nanoseconds time)
{
    const int64_t ns = time.count();
    return {static_cast<time_t>(ns / kNanosecondsPerSecond), static_cast<long>(ns % kNanosecondsPerSecond)};
}

// The kernel keeps the deadlines: the first one absolute, the others a
// whole period after it, on the schedule's own grid, without a word from
// the program at each tick.
void TickClock::start()
{
    if (running()) return;
    schedule_.emplace(period_, monotonic_now());
    itimerspec setting{};
    setting.it_value = timespec_of(schedule_->next_deadline());
    setting.it_interval = timespec_of(period_);
    timerfd_settime(fd_, TFD_TIMER_ABSTIME, &setting, nullptr);
}

void TickClock::stop()
{
    if (!running()) return;
    ticks_ += schedule_->ticks();
    skipped_ += schedule_->skipped();
    schedule_.reset();
    const itimerspec disarmed{};
    timerfd_settime(fd_, 0, &disarmed, nullptr);
}

void TickClock::wake()
{
    // However many deadlines have passed, one tick: the schedule counts
    // the ones missed as skipped.
    uint64_t expirations = 0;
    if (read(fd_, &expirations, sizeof expirations) < 0) {
        // Nothing due after all (the clock was stopped and started again).
    }
    if (running() && schedule_->wake(monotonic_now())) on_tick_();
}

}  // namespace pellavin::screen
