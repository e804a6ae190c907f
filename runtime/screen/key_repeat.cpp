#include "runtime/screen/key_repeat.h"

#include <algorithm>

namespace pellavin::screen {

void KeyRepeat::set_rate(int32_t per_second, int32_t delay_ms)
{
    rate_ = std::max(per_second, 0);
    delay_ = std::chrono::milliseconds(std::max(delay_ms, 0));
    if (rate_ == 0) stop();
}

KeyRepeat::Time KeyRepeat::interval() const { return std::chrono::nanoseconds(std::chrono::seconds(1)) / rate_; }

void KeyRepeat::pressed(uint32_t key, bool repeats, Time now)
{
    // A modifier pressed while an arrow is held leaves the arrow repeating.
    if (!repeats || rate_ == 0) return;
    key_ = key;
    next_ = now + delay_;
}

void KeyRepeat::released(uint32_t key)
{
    if (key_ == key) stop();
}

std::optional<KeyRepeat::Time> KeyRepeat::deadline() const
{
    if (!key_) return std::nullopt;
    return next_;
}

std::optional<uint32_t> KeyRepeat::due(Time now)
{
    if (!key_ || now < next_) return std::nullopt;
    const Time step = interval();
    next_ += step * ((now - next_) / step + 1);
    return key_;
}

}  // namespace pellavin::screen
