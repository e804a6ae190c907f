#include "runtime/core/option_button.h"

#include "runtime/core/form.h"

namespace pellavin::runtime {

void OptionButton::set_Value(bool value)
{
    if (value_ == value) return;
    if (value) clear_siblings();
    value_ = value;
    notify();
    if (value && on_click) on_click();
}

void OptionButton::choose()
{
    if (!value_) {
        set_Value(true);
    } else if (on_click) {
        on_click();
    }
}

void OptionButton::clear_siblings()
{
    for (Control* control : form().controls()) {
        if (control == this || control->kind() != ControlKind::OptionButton || control->container() != container()) {
            continue;
        }
        static_cast<OptionButton*>(control)->set_Value(false);
    }
}

}  // namespace pellavin::runtime
