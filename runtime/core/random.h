#pragma once

#include <cstdint>
#include <random>

namespace pellavin::runtime {

// A program's one sequence of random numbers.
class RandomSequence {
public:
    virtual ~RandomSequence() = default;

    // Starts the sequence afresh from the system clock.
    virtual void reseed_from_clock() = 0;

    // The next number, a single uniform in [0, 1).
    virtual float next() = 0;
};

class ClockSeededRandom final : public RandomSequence {
public:
    void reseed_from_clock() override;
    float next() override;

    // A fixed start, for reproducible runs (benchmarks, soaks).
    void seed(uint64_t value) { engine_.seed(value); }

private:
    std::mt19937_64 engine_;
};

}  // namespace pellavin::runtime
