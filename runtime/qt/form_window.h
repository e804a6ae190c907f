#pragma once

#include "runtime/core/form.h"
#include "runtime/core/shape.h"
#include "runtime/qt/tick_clock.h"

#include <QRegion>
#include <QWidget>

#include <memory>
#include <unordered_map>
#include <vector>

namespace pellavin::qt_backend {

class Canvas;
class X11Canvas;

// Draws a form and feeds it the user's input. Shapes are painted by the
// window itself, repainting only the rectangles that changed; frames,
// labels, boxes, buttons and text boxes are Qt widgets bound to their
// controls: a user's edit writes the control (raising its handler), and a
// control's change updates the widget without raising anything twice.
class FormWindow final : public QWidget, public runtime::FormView {
public:
    explicit FormWindow(runtime::Form& form);
    ~FormWindow() override;

    // Twips per pixel in this window: the screen's for a borderless window;
    // for a dialog, as many fewer as the platform's font needs to show every
    // caption whole.
    double twips_per_pixel() const { return twips_per_pixel_; }
    QRect to_pixels(const runtime::Bounds& bounds) const;
    QWidget* widget_for(const runtime::Control& control) const;
    const TickClock& clock() const { return clock_; }
    bool is_dialog() const { return form_.design().border_style != runtime::BorderStyle::None; }

    void form_changed() override;
    void control_changed(runtime::Control& control) override;
    void timers_changed() override;

protected:
    QPaintEngine* paintEngine() const override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void create_widgets();
    QWidget* create_widget(runtime::Control& control, QWidget* parent);
    double scale_for_captions() const;
    void apply_window_design();
    void order_tabs();
    void sync_widget(const runtime::Control& control);
    void show_window();
    void shape_moved(const runtime::Shape& shape);
    QRect shape_rect(const runtime::Shape& shape) const;
    void draw_natively_if_possible();
    void draw(Canvas& canvas, const QRegion& region) const;
    QColor color(runtime::Color value) const;
    void tick();

    runtime::Form& form_;
    double twips_per_pixel_;
    TickClock clock_;
    std::unordered_map<const runtime::Control*, QWidget*> widgets_;
    std::vector<const runtime::Shape*> shapes_;
    std::unordered_map<const runtime::Shape*, QRect> painted_;
    std::unique_ptr<X11Canvas> x11_;
    QRegion moved_;
    bool in_tick_ = false;
    bool pressed_ = false;
    bool keyboard_grabbed_ = false;
};

}  // namespace pellavin::qt_backend
