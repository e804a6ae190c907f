#include "idle/rules/timers.h"

#include <algorithm>

namespace pellavin::idle {

Timers::Id Timers::after(Milliseconds delay, std::function<void()> run)
{
    const Id id = next_id_++;
    due_.emplace(Clock::now() + delay, Timer{id, std::move(run)});
    return id;
}

void Timers::cancel(Id id)
{
    std::erase_if(due_, [id](const auto& entry) { return entry.second.id == id; });
}

int Timers::timeout_ms() const
{
    if (due_.empty()) return -1;
    const auto left = std::chrono::ceil<Milliseconds>(due_.begin()->first - Clock::now());
    return static_cast<int>(std::max<Milliseconds::rep>(left.count(), 0));
}

void Timers::run_due()
{
    // One at a time, each taken out before it runs: what runs may add or
    // cancel timers, those due now included.
    const auto now = Clock::now();
    while (!due_.empty() && due_.begin()->first <= now) {
        Timer timer = std::move(due_.begin()->second);
        due_.erase(due_.begin());
        timer.run();
    }
}

Milliseconds Backoff::next()
{
    const Milliseconds pause = pause_;
    pause_ = std::min(pause_ * 2, kLongest);
    return pause;
}

}  // namespace pellavin::idle
