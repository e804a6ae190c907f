#include "runtime/qt/shape_scene.h"

#include "runtime/qt/canvas.h"

#include <algorithm>
#include <optional>

namespace pellavin::qt_backend {

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

QRect ShapeScene::place_of(const runtime::Shape& shape) const
{
    return shape.shown() ? pixels_.rect(shape.bounds()) : QRect();
}

QRegion ShapeScene::shape_changed(const runtime::Shape& shape)
{
    const QRect now = place_of(shape);
    QRect& before = placed_[&shape];
    QRegion changed = now;
    if (before != now) changed += before;
    before = now;
    return changed;
}

QColor qt_color(runtime::Color value, const QColor& window_color)
{
    if (value == runtime::kSystemButtonFace) return window_color;
    return QColor(runtime::red_of(value), runtime::green_of(value), runtime::blue_of(value));
}

void draw_shape(Canvas& canvas, const runtime::Shape& shape, const QRect& rect, const QColor& window_color)
{
    const std::optional<QColor> fill = shape.fill_style() == runtime::FillStyle::Solid
        ? std::optional<QColor>(qt_color(shape.FillColor(), window_color))
        : std::nullopt;
    const QColor border = qt_color(shape.BorderColor(), window_color);
    if (shape.figure() == runtime::ShapeKind::Circle) {
        // A circle as large as fits, centred in its place.
        const int diameter = std::min(rect.width(), rect.height());
        const QRect square(rect.left() + (rect.width() - diameter) / 2, rect.top() + (rect.height() - diameter) / 2,
            diameter, diameter);
        canvas.draw_circle(square, fill, border);
    } else {
        canvas.draw_rectangle(rect, fill, border);
    }
}

void ShapeScene::draw(Canvas& canvas, const QRegion& device_region, const QColor& window_color) const
{
    const QColor back = qt_color(form_.BackColor(), window_color);
    for (const QRect& rect : device_region) canvas.fill(rect, back);
    for (const runtime::Shape* shape : shapes_) {
        const QRect rect = place_of(*shape);
        if (!rect.isEmpty() && device_region.intersects(rect)) draw_shape(canvas, *shape, rect, window_color);
    }
}

}  // namespace pellavin::qt_backend
