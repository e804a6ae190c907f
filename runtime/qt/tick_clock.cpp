#include "runtime/qt/tick_clock.h"

namespace pellavin::qt_backend {

TickClock::TickClock(std::function<void()> on_tick, std::chrono::nanoseconds period)
    : on_tick_(std::move(on_tick))
    , period_(period)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { wake(); });
}

std::chrono::nanoseconds TickClock::now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch());
}

void TickClock::start()
{
    if (running()) return;
    schedule_.emplace(period_, now());
    arm();
}

void TickClock::stop()
{
    if (!running()) return;
    ticks_ += schedule_->ticks();
    skipped_ += schedule_->skipped();
    schedule_.reset();
    timer_.stop();
}

void TickClock::arm()
{
    // QTimer counts whole milliseconds: round up so that the wake-up is never
    // before the deadline.
    const std::chrono::nanoseconds remaining = schedule_->next_deadline() - now();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(remaining);
    timer_.start(std::max<int>(0, static_cast<int>(ms.count())));
}

void TickClock::wake()
{
    if (!running()) return;
    if (schedule_->wake(now())) on_tick_();
    if (running()) arm();
}

}  // namespace pellavin::qt_backend
