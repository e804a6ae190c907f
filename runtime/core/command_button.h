#pragma once

#include "runtime/core/control.h"

#include <functional>

namespace pellavin::runtime {

class CommandButton final : public CaptionedControl {
public:
    CommandButton(Form& form, std::string name, Control* container, Bounds bounds, std::string caption)
        : CaptionedControl(form, ControlKind::CommandButton, std::move(name), container, bounds, std::move(caption))
    {
    }

    // The user pressed the button.
    void press()
    {
        if (on_click) on_click();
    }

    std::function<void()> on_click;
};

}  // namespace pellavin::runtime
