#pragma once

#include "runtime/screen/canvas.h"

class QPainter;

namespace pellavin::qt_backend {

// Draws into Qt's backing store: any platform. The painter's own scale
// (the device pixel ratio) is undone, so that what is drawn lands on whole
// device pixels at every scale.
class PainterCanvas final : public screen::Canvas {
public:
    PainterCanvas(QPainter& painter, double device_pixel_ratio);
    using screen::Canvas::fill;
    void fill(const screen::Rect& rect, screen::Rgb color) override;
    void draw_rectangle(const screen::Rect& rect, std::optional<screen::Rgb> fill, screen::Rgb border) override;
    void draw_circle(const screen::Rect& rect, std::optional<screen::Rgb> fill, screen::Rgb border) override;

private:
    void use(std::optional<screen::Rgb> fill, screen::Rgb border);

    QPainter& painter_;
};

}  // namespace pellavin::qt_backend
