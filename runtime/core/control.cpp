#include "runtime/core/control.h"

#include "runtime/core/form.h"

namespace pellavin::runtime {

Control::Control(Form& form, ControlKind kind, std::string name, Control* container, Bounds bounds)
    : form_(form)
    , kind_(kind)
    , name_(std::move(name))
    , container_(container)
    , bounds_(bounds)
{
    form_.add_control(*this);
}

void Control::notify()
{
    if (FormView* view = form_.view()) view->control_changed(*this);
}

void Control::set_Left(float value)
{
    if (bounds_.left == value) return;
    bounds_.left = value;
    notify();
}

void Control::set_Top(float value)
{
    if (bounds_.top == value) return;
    bounds_.top = value;
    notify();
}

void Control::set_Width(float value)
{
    if (bounds_.width == value) return;
    bounds_.width = value;
    notify();
}

void Control::set_Height(float value)
{
    if (bounds_.height == value) return;
    bounds_.height = value;
    notify();
}

void Control::set_Visible(bool value)
{
    if (visible_ == value) return;
    visible_ = value;
    notify();
}

bool Control::shown() const
{
    for (const Control* c = this; c != nullptr; c = c->container()) {
        if (!c->Visible()) return false;
    }
    return true;
}

CaptionedControl::CaptionedControl(Form& form, ControlKind kind, std::string name, Control* container,
    Bounds bounds, std::string caption)
    : Control(form, kind, std::move(name), container, bounds)
    , caption_(std::move(caption))
{
}

void CaptionedControl::set_Caption(std::string value)
{
    if (caption_ == value) return;
    caption_ = std::move(value);
    notify();
}

}  // namespace pellavin::runtime
