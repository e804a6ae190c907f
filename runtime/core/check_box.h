#pragma once

#include "runtime/core/control.h"

#include <cstdint>
#include <functional>

namespace pellavin::runtime {

class CheckBox final : public CaptionedControl {
public:
    static constexpr int16_t kUnchecked = 0;
    static constexpr int16_t kChecked = 1;

    CheckBox(Form& form, std::string name, Control* container, Bounds bounds, std::string caption)
        : CaptionedControl(form, ControlKind::CheckBox, std::move(name), container, bounds, std::move(caption))
    {
    }

    int16_t Value() const { return value_; }
    // A change raises `on_click` at once, inside the writer; a write of the
    // value it already has raises nothing.
    void set_Value(int16_t value);

    std::function<void()> on_click;

private:
    int16_t value_ = kUnchecked;
};

}  // namespace pellavin::runtime
