#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace pellavin::screen {

// When a held key comes again, where the window system leaves it to the
// program (Wayland): the last key pressed, if it is one that repeats,
// comes again `delay` after its press and then `rate` times a second,
// until it is released, another key that repeats is pressed, or the
// keyboard goes elsewhere. Like the tick, it never catches up: repeats
// missed while the program was stalled are skipped, not sent in a burst.
class KeyRepeat {
public:
    using Time = std::chrono::nanoseconds;  // on the monotonic clock

    // Repeats a second (0: none) and the delay before the first, in ms.
    void set_rate(int32_t per_second, int32_t delay_ms);

    void pressed(uint32_t key, bool repeats, Time now);
    void released(uint32_t key);
    void stop() { key_.reset(); }

    // When the next repeat is due; nothing while no key repeats.
    std::optional<Time> deadline() const;
    // The key that comes again now, if its repeat is due.
    std::optional<uint32_t> due(Time now);

private:
    Time interval() const;

    int32_t rate_ = 25;
    Time delay_ = std::chrono::milliseconds(600);
    std::optional<uint32_t> key_;
    Time next_{};
};

}  // namespace pellavin::screen
