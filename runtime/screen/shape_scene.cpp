#include "runtime/screen/shape_scene.h"

#include "runtime/screen/canvas.h"

#include <algorithm>

namespace pellavin::screen {

ShapeScene::ShapeScene(const runtime::Form& form, DevicePixels pixels)
    : form_(form)
    , pixels_(pixels)
{
    for (const runtime::Control* control : form_.controls()) {
        if (control->kind() == runtime::ControlKind::Shape) shapes_.push_back(static_cast<const runtime::Shape*>(control));
    }
    for (const runtime::Shape* shape : shapes_) placed_[shape] = place_of(*shape);
}

bool ShapeScene::set_pixels(const DevicePixels& pixels)
{
    if (pixels == pixels_) return false;
    pixels_ = pixels;
    for (const runtime::Shape* shape : shapes_) placed_[shape] = place_of(*shape);
    return true;
}

Rect ShapeScene::place_of(const runtime::Shape& shape) const
{
    return shape.shown() ? pixels_.rect(shape.bounds()) : Rect();
}

Region ShapeScene::shape_changed(const runtime::Shape& shape)
{
    const Rect now = place_of(shape);
    Rect& before = placed_[&shape];
    Region changed = now;
    if (before != now) changed.add(before);
    before = now;
    return changed;
}

Rgb rgb_of(runtime::Color value, Rgb window_color)
{
    if (value == runtime::kSystemButtonFace) return window_color;
    return {static_cast<uint8_t>(runtime::red_of(value)), static_cast<uint8_t>(runtime::green_of(value)),
        static_cast<uint8_t>(runtime::blue_of(value))};
}

void draw_shape(Canvas& canvas, const runtime::Shape& shape, const Rect& rect, Rgb window_color)
{
    const std::optional<Rgb> fill = shape.fill_style() == runtime::FillStyle::Solid
        ? std::optional<Rgb>(rgb_of(shape.FillColor(), window_color))
        : std::nullopt;
    const Rgb border = rgb_of(shape.BorderColor(), window_color);
    if (shape.figure() == runtime::ShapeKind::Circle) {
        // A circle as large as fits, centred in its place.
        const int diameter = std::min(rect.width, rect.height);
        const Rect square{rect.x + (rect.width - diameter) / 2, rect.y + (rect.height - diameter) / 2, diameter, diameter};
        canvas.draw_circle(square, fill, border);
    } else {
        canvas.draw_rectangle(rect, fill, border);
    }
}

void ShapeScene::draw(Canvas& canvas, const Region& device_region, Rgb window_color) const
{
    const Rgb back = rgb_of(form_.BackColor(), window_color);
    canvas.fill(device_region, back);
    for (const runtime::Shape* shape : shapes_) {
        const Rect rect = place_of(*shape);
        if (!rect.empty() && device_region.intersects(rect)) draw_shape(canvas, *shape, rect, window_color);
    }
}

}  // namespace pellavin::screen
