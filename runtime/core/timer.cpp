#include "runtime/core/timer.h"

#include "runtime/core/form.h"

namespace pellavin::runtime {

Timer::Timer(Form& form, std::string name, Control* container, int interval_ms)
    : Control(form, ControlKind::Timer, std::move(name), container, {})
    , interval_ms_(interval_ms)
{
    set_Visible(false);  // timers never show at run time
    form.add_timer(*this);
}

void Timer::set_Enabled(bool value)
{
    if (enabled_ == value) return;
    enabled_ = value;
    if (FormView* view = form().view()) view->timers_changed();
}

}  // namespace pellavin::runtime
