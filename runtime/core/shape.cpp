#include "runtime/core/shape.h"

namespace pellavin::runtime {

Shape::Shape(Form& form, std::string name, Bounds bounds, ShapeKind figure)
    : Control(form, ControlKind::Shape, std::move(name), nullptr, bounds)
    , figure_(figure)
{
}

void Shape::set_FillColor(Color value)
{
    if (fill_color_ == value) return;
    fill_color_ = value;
    notify();
}

void Shape::set_BorderColor(Color value)
{
    if (border_color_ == value) return;
    border_color_ = value;
    notify();
}

void Shape::set_FillStyle(FillStyle value)
{
    if (fill_style_ == value) return;
    fill_style_ = value;
    notify();
}

}  // namespace pellavin::runtime
