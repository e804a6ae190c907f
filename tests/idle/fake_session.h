#pragma once

#include "idle/rules/idle_rules.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace pellavin::idle::testing {

using namespace std::chrono_literals;

struct FakeClock {
    Milliseconds now{0};
};

// The session's idle time as the X server keeps it: input sets it back to
// zero, a delay counts from the last input (or from the watch, when asked),
// and after idle nothing more comes until input and a full delay.
class FakeIdleSource final : public IdleSource {
public:
    explicit FakeIdleSource(FakeClock& clock)
        : clock_(clock)
    {
    }

    void watch(Milliseconds delay, Count count) override
    {
        ++watches;
        watching_ = true;
        delay_ = delay;
        due_.reset();
        if (count != Count::AfterInput) {
            due_ = (count == Count::FromNow ? std::max(clock_.now, last_input_) : last_input_) + delay;
        }
    }

    void idle_time(std::function<void(std::optional<Milliseconds>)> answer) override
    {
        answer(clock_.now - last_input_);
    }

    void stop() override
    {
        watching_ = false;
        due_.reset();
    }

    void input()
    {
        last_input_ = clock_.now;
        if (watching_) due_ = clock_.now + delay_;
    }

    // Moves the clock to `time`, reporting idle where the delay is reached.
    void advance_to(Milliseconds time)
    {
        while (due_ && *due_ <= time) {
            clock_.now = std::max(clock_.now, *due_);
            due_.reset();
            on_idle();
        }
        clock_.now = std::max(clock_.now, time);
    }

    int watches = 0;

private:
    FakeClock& clock_;
    Milliseconds last_input_{0};
    Milliseconds delay_{0};
    std::optional<Milliseconds> due_;
    bool watching_ = false;
};

// Starts nothing: answers with the outcomes given, Started once they run
// out, and notes when it was asked.
class FakeStarter final : public GameStarter {
public:
    explicit FakeStarter(const FakeClock& clock)
        : clock_(clock)
    {
    }

    Result start() override
    {
        asked.push_back(clock_.now);
        if (outcomes.empty()) return {Outcome::Started, {}};
        const Result result = outcomes.front();
        outcomes.erase(outcomes.begin());
        return result;
    }

    void end() override { ended.push_back(clock_.now); }
    bool any_running() override { return running_elsewhere; }

    // A game that the fake did not start runs (a Preview).
    bool running_elsewhere = false;
    std::vector<Result> outcomes;
    std::vector<Milliseconds> asked;
    std::vector<Milliseconds> ended;

private:
    const FakeClock& clock_;
};

// The rules with their fake session, the lines they said kept.
struct FakeWatcher {
    static constexpr Milliseconds kMinute = 60s;

    FakeClock clock;
    FakeIdleSource source{clock};
    FakeStarter starter{clock};
    std::vector<std::string> said;
    IdleRules rules{source, starter, [this](const std::string& line) { said.push_back(line); }, kMinute,
        [this] { return clock.now; }};

    FakeWatcher() { source.on_idle = [this] { rules.idle(); }; }
};

}  // namespace pellavin::idle::testing
