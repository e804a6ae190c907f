#pragma once

#include <QColor>
#include <QRect>

#include <optional>

class QPainter;

namespace pellavin::qt_backend {

// Where a window draws its back colour and shapes, in device pixels.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void fill(const QRect& rect, const QColor& color) = 0;
    // A rectangle or a circle filling `rect` (nothing when `fill` is empty),
    // with a one-pixel `border` inside it.
    virtual void draw_rectangle(const QRect& rect, const std::optional<QColor>& fill, const QColor& border) = 0;
    virtual void draw_circle(const QRect& rect, const std::optional<QColor>& fill, const QColor& border) = 0;
};

// Draws into Qt's backing store: any platform. The painter's own scale
// (the device pixel ratio) is undone, so that what is drawn lands on whole
// device pixels at every scale.
class PainterCanvas final : public Canvas {
public:
    PainterCanvas(QPainter& painter, double device_pixel_ratio);
    void fill(const QRect& rect, const QColor& color) override;
    void draw_rectangle(const QRect& rect, const std::optional<QColor>& fill, const QColor& border) override;
    void draw_circle(const QRect& rect, const std::optional<QColor>& fill, const QColor& border) override;

private:
    QPainter& painter_;
};

}  // namespace pellavin::qt_backend
