#pragma once

#include "runtime/core/control.h"

#include <functional>

namespace pellavin::runtime {

// One of a group of choices: the option buttons of one container exclude
// each other.
class OptionButton final : public CaptionedControl {
public:
    OptionButton(Form& form, std::string name, Control* container, Bounds bounds, std::string caption)
        : CaptionedControl(form, ControlKind::OptionButton, std::move(name), container, bounds, std::move(caption))
    {
    }

    bool Value() const { return value_; }
    // Selecting clears the other buttons of the container (which raises
    // nothing for them) and then raises `on_click`, inside the writer.
    // Clearing raises nothing; a write that changes nothing raises nothing.
    void set_Value(bool value);

    // The user clicked the button: it is selected, and its click is raised
    // even when it was selected already, since the user chose it.
    void choose();

    std::function<void()> on_click;

private:
    void clear_siblings();

    bool value_ = false;
};

}  // namespace pellavin::runtime
