#include "runtime/core/random.h"

#include <chrono>

namespace pellavin::runtime {

void ClockSeededRandom::reseed_from_clock()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto fine = std::chrono::steady_clock::now().time_since_epoch();
    std::seed_seq seed{static_cast<uint64_t>(now.count()), static_cast<uint64_t>(fine.count())};
    engine_.seed(seed);
}

float ClockSeededRandom::next()
{
    // 24 random bits make every single in [0, 1) with step 2^-24 equally
    // likely, and can never round up to 1.
    constexpr int kMantissaBits = 24;
    const uint64_t bits = engine_() >> (64 - kMantissaBits);
    return static_cast<float>(bits) * 0x1p-24f;
}

}  // namespace pellavin::runtime
