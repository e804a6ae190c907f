#include "runtime/qt/canvas.h"

#include "runtime/qt/qt_geometry.h"

#include <QPainter>

namespace pellavin::qt_backend {

PainterCanvas::PainterCanvas(QPainter& painter, double device_pixel_ratio)
    : painter_(painter)
{
    painter_.setWorldTransform(QTransform::fromScale(1.0 / device_pixel_ratio, 1.0 / device_pixel_ratio));
}

void PainterCanvas::fill(const screen::Rect& rect, screen::Rgb color) { painter_.fillRect(to_qt(rect), to_qt(color)); }

void PainterCanvas::use(std::optional<screen::Rgb> fill, screen::Rgb border)
{
    painter_.setPen(QPen(to_qt(border), 0));  // cosmetic: one pixel
    painter_.setBrush(fill ? QBrush(to_qt(*fill)) : QBrush(Qt::NoBrush));
}

void PainterCanvas::draw_rectangle(const screen::Rect& rect, std::optional<screen::Rgb> fill, screen::Rgb border)
{
    use(fill, border);
    painter_.drawRect(to_qt(rect).adjusted(0, 0, -1, -1));
}

void PainterCanvas::draw_circle(const screen::Rect& rect, std::optional<screen::Rgb> fill, screen::Rgb border)
{
    use(fill, border);
    painter_.drawEllipse(to_qt(rect).adjusted(0, 0, -1, -1));
}

}  // namespace pellavin::qt_backend
