#pragma once

#include "runtime/core/control.h"

#include <functional>

namespace pellavin::runtime {

// Fires `on_timer` on every platform tick while enabled. An interval of 1 ms
// means as often as the platform ticks.
class Timer final : public Control {
public:
    Timer(Form& form, std::string name, Control* container, int interval_ms);

    bool Enabled() const { return enabled_; }
    void set_Enabled(bool value);
    int Interval() const { return interval_ms_; }

    std::function<void()> on_timer;

private:
    bool enabled_ = false;
    int interval_ms_;
};

}  // namespace pellavin::runtime
