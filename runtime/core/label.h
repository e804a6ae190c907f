#pragma once

#include "runtime/core/control.h"

namespace pellavin::runtime {

class Label final : public CaptionedControl {
public:
    Label(Form& form, std::string name, Control* container, Bounds bounds, std::string caption)
        : CaptionedControl(form, ControlKind::Label, std::move(name), container, bounds, std::move(caption))
    {
    }
};

}  // namespace pellavin::runtime
