#pragma once

#include <string>

namespace pellavin::runtime {

class Form;

// A control's place in twips, relative to its container's client area.
struct Bounds {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

enum class ControlKind { Shape, Timer, Frame, Label, CheckBox, OptionButton, TextBox, CommandButton };

// What every control of a form has: a name, a container, a place, a
// visibility and a place in the tab order. A write that changes a property
// takes effect at once and tells the form's view; nothing is clamped.
class Control {
public:
    // `container` is the frame that holds the control, or nullptr for the form.
    Control(Form& form, ControlKind kind, std::string name, Control* container, Bounds bounds);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    ControlKind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    Control* container() const { return container_; }
    Form& form() const { return form_; }

    float Left() const { return bounds_.left; }
    float Top() const { return bounds_.top; }
    float Width() const { return bounds_.width; }
    float Height() const { return bounds_.height; }
    void set_Left(float value);
    void set_Top(float value);
    void set_Width(float value);
    void set_Height(float value);
    const Bounds& bounds() const { return bounds_; }

    bool Visible() const { return visible_; }
    void set_Visible(bool value);
    // Visible itself and inside visible containers: what the user can see.
    bool shown() const;

    int TabIndex() const { return tab_index_; }
    void set_TabIndex(int value) { tab_index_ = value; }

    // What assistive technology announces for the control; empty means its caption.
    const std::string& accessible_name() const { return accessible_name_; }
    void set_accessible_name(std::string value) { accessible_name_ = std::move(value); }

protected:
    void notify();

private:
    Form& form_;
    ControlKind kind_;
    std::string name_;
    Control* container_;
    Bounds bounds_;
    bool visible_ = true;
    int tab_index_ = 0;
    std::string accessible_name_;
};

// A control that shows a caption: frames, labels, buttons and boxes.
class CaptionedControl : public Control {
public:
    CaptionedControl(Form& form, ControlKind kind, std::string name, Control* container, Bounds bounds,
        std::string caption);

    const std::string& Caption() const { return caption_; }
    void set_Caption(std::string value);

private:
    std::string caption_;
};

}  // namespace pellavin::runtime
