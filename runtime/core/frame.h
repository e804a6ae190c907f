#pragma once

#include "runtime/core/control.h"

namespace pellavin::runtime {

// A captioned box that contains other controls; hiding it hides them.
class Frame final : public CaptionedControl {
public:
    Frame(Form& form, std::string name, Control* container, Bounds bounds, std::string caption)
        : CaptionedControl(form, ControlKind::Frame, std::move(name), container, bounds, std::move(caption))
    {
    }
};

}  // namespace pellavin::runtime
