#pragma once

#include "runtime/core/random.h"

#include <deque>
#include <initializer_list>
#include <stdexcept>

namespace pellavin::testing {

// A random sequence that returns exactly the numbers a test scripts, and
// counts how many were drawn. Drawing past the script is a test failure.
class ScriptedRandom final : public runtime::RandomSequence {
public:
    ScriptedRandom() = default;
    ScriptedRandom(std::initializer_list<float> values) : values_(values) {}

    void then(std::initializer_list<float> values) { values_.insert(values_.end(), values); }

    void reseed_from_clock() override { ++reseeds; }

    float next() override
    {
        if (values_.empty()) throw std::logic_error("a random number was drawn beyond the script");
        const float value = values_.front();
        values_.pop_front();
        ++draws;
        return value;
    }

    size_t left() const { return values_.size(); }

    int reseeds = 0;
    int draws = 0;

private:
    std::deque<float> values_;
};

// The largest single below 1.
inline constexpr float kLargestBelowOne = 0x1.fffffep-1f;

}  // namespace pellavin::testing
