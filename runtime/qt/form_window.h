#pragma once

#include "runtime/core/form.h"
#include "runtime/core/shape.h"
#include "runtime/qt/control_widgets.h"
#include "runtime/screen/shape_scene.h"
#include "runtime/qt/tick_clock.h"

#include <QRegion>
#include <QWidget>

#include <memory>
#include <optional>

namespace pellavin::qt_backend {

class NativeSurface;
class ScreenCovers;

// Draws a form and feeds it the user's input. Shapes are drawn by the window
// itself in device pixels, redrawing only what changed; frames, labels,
// boxes, buttons and text boxes are Qt widgets bound to their controls. A
// borderless window that covers the primary monitor is the game's: the
// other monitors get black covers that belong to it.
class FormWindow final : public QWidget, public runtime::FormView {
public:
    explicit FormWindow(runtime::Form& form);
    ~FormWindow() override;

    // Twips per logical pixel in this window: the primary monitor's for a
    // borderless window; for a dialog, as many fewer as the platform's font
    // needs to show every caption whole.
    double twips_per_pixel() const { return widgets_.twips_per_pixel(); }
    QRect to_pixels(const runtime::Bounds& bounds) const { return widgets_.to_pixels(bounds); }
    // Where a shape stands, in the window's device pixels.
    QRect device_rect(const runtime::Shape& shape) const;
    QWidget* widget_for(const runtime::Control& control) const { return widgets_.widget_for(control); }
    const TickClock& clock() const { return clock_; }
    // The black windows over the other monitors, while the game shows.
    std::vector<QWidget*> covers() const;
    bool is_dialog() const { return form_.design().border_style != runtime::BorderStyle::None; }

    void form_changed() override;
    void control_changed(runtime::Control& control) override;
    void timers_changed() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void draw_on_wayland_if_possible();
    void apply_window_design();
    bool covers_primary_monitor() const;
    void show_window();
    screen::DevicePixels device_pixels() const;
    screen::Rgb window_color() const;
    void draw_moved();
    void tick();
    void after_event();

    runtime::Form& form_;
    TickClock clock_;
    std::unique_ptr<NativeSurface> native_;
    bool wayland_tried_ = false;
    bool drawn_natively_ = false;
    ControlWidgets widgets_;
    screen::ShapeScene scene_;
    std::unique_ptr<ScreenCovers> covers_;
    screen::Region moved_;  // device pixels
    bool in_tick_ = false;
    bool redraw_posted_ = false;
    bool pressed_ = false;
    bool keyboard_grabbed_ = false;
};

}  // namespace pellavin::qt_backend
