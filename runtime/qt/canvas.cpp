#include "runtime/qt/canvas.h"

#include <QPainter>

namespace pellavin::qt_backend {

PainterCanvas::PainterCanvas(QPainter& painter, double device_pixel_ratio)
    : painter_(painter)
{
    painter_.setWorldTransform(QTransform::fromScale(1.0 / device_pixel_ratio, 1.0 / device_pixel_ratio));
}

void PainterCanvas::fill(const QRect& rect, const QColor& color) { painter_.fillRect(rect, color); }

void PainterCanvas::draw_rectangle(const QRect& rect, const std::optional<QColor>& fill, const QColor& border)
{
    painter_.setPen(QPen(border, 0));  // cosmetic: one pixel
    painter_.setBrush(fill ? QBrush(*fill) : QBrush(Qt::NoBrush));
    painter_.drawRect(rect.adjusted(0, 0, -1, -1));
}

void PainterCanvas::draw_circle(const QRect& rect, const std::optional<QColor>& fill, const QColor& border)
{
    painter_.setPen(QPen(border, 0));
    painter_.setBrush(fill ? QBrush(*fill) : QBrush(Qt::NoBrush));
    painter_.drawEllipse(rect.adjusted(0, 0, -1, -1));
}

}  // namespace pellavin::qt_backend
