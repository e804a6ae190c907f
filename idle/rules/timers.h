#pragma once

#include "idle/rules/idle_source.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>

namespace pellavin::idle {

// The watcher's own deadlines, kept on the monotonic clock: the loop sleeps
// until the soonest and runs what is due. Nothing is due while nothing
// waits, so an idle watcher does not wake.
class Timers {
public:
    using Id = uint64_t;

    // Runs `run` once, `delay` from now; the id cancels it.
    Id after(Milliseconds delay, std::function<void()> run);
    void cancel(Id id);

    // Milliseconds until the soonest is due; -1 when none waits.
    int timeout_ms() const;
    void run_due();

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        Id id;
        std::function<void()> run;
    };

    std::multimap<Clock::time_point, Timer> due_;
    Id next_id_ = 1;
};

// The pauses between the tries of a question nobody answers: a second at
// first, twice as long each time, never more than a minute.
class Backoff {
public:
    static constexpr Milliseconds kFirst{1000};
    static constexpr Milliseconds kLongest{60'000};

    Milliseconds next();
    void reset() { pause_ = kFirst; }

private:
    Milliseconds pause_ = kFirst;
};

}  // namespace pellavin::idle
