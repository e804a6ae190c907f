#include "runtime/screen/tick_clock.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

std::chrono::nanoseconds now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::chrono::nanoseconds(int64_t{t.tv_sec} * kNanosecondsPerSecond + t.tv_nsec);
}

}  // namespace

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

void TickClock::arm(std::chrono::nanoseconds deadline)
{
    itimerspec spec{};
    const int64_t ns = deadline.count();
    spec.it_value = {static_cast<time_t>(ns / kNanosecondsPerSecond), static_cast<long>(ns % kNanosecondsPerSecond)};
    timerfd_settime(fd_, TFD_TIMER_ABSTIME, &spec, nullptr);
}

void TickClock::start()
{
    if (running()) return;
    schedule_.emplace(period_, now());
    arm(schedule_->next_deadline());
}

void TickClock::stop()
{
    if (!running()) return;
    ticks_ += schedule_->ticks();
    skipped_ += schedule_->skipped();
    schedule_.reset();
    arm(std::chrono::nanoseconds(0));  // disarmed
}

void TickClock::wake()
{
    uint64_t expirations = 0;
    if (read(fd_, &expirations, sizeof expirations) < 0) {
        // Nothing due after all (the clock was stopped and started again).
    }
    if (!running()) return;
    if (schedule_->wake(now())) on_tick_();
    if (running()) arm(schedule_->next_deadline());
}

}  // namespace pellavin::screen
