#pragma once

#include "runtime/core/color.h"
#include "runtime/core/control.h"

namespace pellavin::runtime {

enum class ShapeKind { Rectangle = 0, Circle = 3 };
enum class FillStyle { Solid = 0, Transparent = 1 };

// A figure drawn by its form, with a one-pixel solid border.
class Shape final : public Control {
public:
    Shape(Form& form, std::string name, Bounds bounds, ShapeKind figure);

    ShapeKind figure() const { return figure_; }

    Color FillColor() const { return fill_color_; }
    void set_FillColor(Color value);
    Color BorderColor() const { return border_color_; }
    void set_BorderColor(Color value);
    FillStyle fill_style() const { return fill_style_; }
    void set_FillStyle(FillStyle value);

private:
    ShapeKind figure_;
    Color fill_color_ = kBlack;
    Color border_color_ = kBlack;
    FillStyle fill_style_ = FillStyle::Transparent;
};

}  // namespace pellavin::runtime
