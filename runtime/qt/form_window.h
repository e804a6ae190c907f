#pragma once

#include "runtime/core/form.h"
#include "runtime/core/shape.h"
#include "runtime/qt/control_widgets.h"
#include "runtime/qt/title_bar.h"
#include "runtime/screen/shape_scene.h"

#include <QWidget>

namespace pellavin::qt_backend {

// Draws a dialog's form and feeds it the user's input. Shapes are drawn by
// the window itself in device pixels, redrawing only what changed; frames,
// labels, boxes, buttons and text boxes are Qt widgets bound to their
// controls. (The full-screen game has a backend of its own, without Qt.)
class FormWindow final : public QWidget, public runtime::FormView {
public:
    // In a window of its own, or held by `frame`, the window with a title
    // bar of the dialog's own (draws_own_title_bar()).
    explicit FormWindow(runtime::Form& form, TitledWindow* frame = nullptr);
    ~FormWindow() override;

    // Twips per logical pixel in this window: the primary monitor's, or as
    // many fewer as the platform's font needs to show every caption whole.
    double twips_per_pixel() const { return widgets_.twips_per_pixel(); }
    QRect to_pixels(const runtime::Bounds& bounds) const { return widgets_.to_pixels(bounds); }
    QWidget* widget_for(const runtime::Control& control) const { return widgets_.widget_for(control); }
    bool is_dialog() const { return form_.design().border_style != runtime::BorderStyle::None; }

    void form_changed() override;
    void control_changed(runtime::Control& control) override;
    // A dialog's timers do not run: none of the dialogs has one.
    void timers_changed() override {}

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void apply_window_design();
    void show_window();
    screen::DevicePixels device_pixels() const;
    screen::Rgb window_color() const;

    runtime::Form& form_;
    ControlWidgets widgets_;
    screen::ShapeScene scene_;
    bool pressed_ = false;
};

}  // namespace pellavin::qt_backend
