#pragma once

#include "runtime/core/tick_schedule.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace pellavin::qt_backend {

// The platform tick that drives every timer control: 64 Hz on a fixed grid
// of absolute deadlines, so it never drifts; ticks missed while the process
// was stalled are skipped, never replayed in a burst.
class TickClock : public QObject {
public:
    using Clock = std::chrono::steady_clock;

    explicit TickClock(std::function<void()> on_tick,
        std::chrono::nanoseconds period = runtime::kPlatformTickPeriod);

    void start();
    void stop();
    bool running() const { return schedule_.has_value(); }

    uint64_t ticks() const { return ticks_ + (schedule_ ? schedule_->ticks() : 0); }
    uint64_t skipped() const { return skipped_ + (schedule_ ? schedule_->skipped() : 0); }

private:
    void arm();
    void wake();
    static std::chrono::nanoseconds now();

    std::function<void()> on_tick_;
    std::chrono::nanoseconds period_;
    QTimer timer_;
    std::optional<runtime::TickSchedule> schedule_;
    uint64_t ticks_ = 0;
    uint64_t skipped_ = 0;
};

}  // namespace pellavin::qt_backend
