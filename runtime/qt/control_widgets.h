#pragma once

#include "runtime/core/form.h"

#include <QRect>

#include <unordered_map>

class QWidget;

namespace pellavin::qt_backend {

// The Qt widgets of a form's frames, labels, boxes, buttons and text boxes,
// bound to their controls: a user's edit writes the control (raising its
// handler), and a control's change updates the widget with its signals
// blocked, so that nothing is raised twice.
class ControlWidgets {
public:
    ControlWidgets(runtime::Form& form, QWidget& window, double twips_per_pixel);

    // Twips per pixel of the widgets' geometry. Changing it places every
    // widget again.
    double twips_per_pixel() const { return twips_per_pixel_; }
    void set_twips_per_pixel(double value);

    QRect to_pixels(const runtime::Bounds& bounds) const;
    QWidget* widget_for(const runtime::Control& control) const;

    // The control changed: its widget follows, and a container that shows
    // for the first time gets the widgets of its contents.
    void control_changed(const runtime::Control& control);

    // How many times fewer twips per pixel the platform's font needs so that
    // no caption is clipped (1 when it fits already).
    double scale_for_captions() const;

private:
    void create_shown_widgets();
    QWidget* create_widget(runtime::Control& control, QWidget& parent);
    void order_tabs();
    void sync(const runtime::Control& control);
    void sync_all();

    runtime::Form& form_;
    QWidget& window_;
    double twips_per_pixel_;
    std::unordered_map<const runtime::Control*, QWidget*> widgets_;
};

}  // namespace pellavin::qt_backend
