#include "runtime/core/check_box.h"

namespace pellavin::runtime {

void CheckBox::set_Value(int16_t value)
{
    if (value_ == value) return;
    value_ = value;
    notify();
    if (on_click) on_click();
}

}  // namespace pellavin::runtime
