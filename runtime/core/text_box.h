#pragma once

#include "runtime/core/control.h"

#include <functional>
#include <string>

namespace pellavin::runtime {

// A single-line text box; it accepts any text, of any length.
class TextBox final : public Control {
public:
    TextBox(Form& form, std::string name, Control* container, Bounds bounds, std::string text)
        : Control(form, ControlKind::TextBox, std::move(name), container, bounds)
        , text_(std::move(text))
    {
    }

    const std::string& Text() const { return text_; }
    // A change raises `on_change` at once, inside the writer.
    void set_Text(std::string value);

    std::function<void()> on_change;

private:
    std::string text_;
};

}  // namespace pellavin::runtime
