#include "runtime/core/text_box.h"

namespace pellavin::runtime {

void TextBox::set_Text(std::string value)
{
    if (text_ == value) return;
    text_ = std::move(value);
    notify();
    if (on_change) on_change();
}

}  // namespace pellavin::runtime
