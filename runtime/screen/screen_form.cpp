#include "runtime/screen/screen_form.h"

namespace pellavin::screen {

ScreenForm::ScreenForm(runtime::Form& form, DevicePixels pixels, Surface& surface)
    : form_(form)
    , surface_(surface)
    , scene_(form, pixels)
    , clock_([this] { tick(); })
{
    form_.set_view(this);
    form_changed();
}

ScreenForm::~ScreenForm() { form_.set_view(nullptr); }

void ScreenForm::form_changed()
{
    surface_.set_background(rgb_of(form_.BackColor(), kSystemFaceColor));
    if (form_.Visible() && !shown_) {
        shown_ = true;
        const DevicePixels& pixels = scene_.pixels();
        const Rect client{0, 0, pixels.edge(form_.Width()), pixels.edge(form_.Height())};
        if (surface_.show(client)) redraw(client);
    } else if (!form_.Visible() && shown_) {
        shown_ = false;
        surface_.hide();
    }
}

void ScreenForm::control_changed(runtime::Control& control)
{
    // Drawn once the event or tick that moved it is over, with whatever else it moved.
    if (control.kind() == runtime::ControlKind::Shape) {
        moved_.add(scene_.shape_changed(static_cast<const runtime::Shape&>(control)));
    }
}

void ScreenForm::timers_changed() { run_clock(); }

// A clock started again starts a fresh schedule: the game goes on from where
// it was, with no ticks made up for the time nobody saw it.
void ScreenForm::run_clock()
{
    if (seen() && form_.any_timer_enabled() && !form_.ended()) {
        clock_.start();
    } else {
        clock_.stop();
    }
}

void ScreenForm::set_seen(bool seen)
{
    if (seen == seen_) return;
    seen_ = seen;
    run_clock();
    draw_moved();
}

void ScreenForm::set_shielded(bool shielded)
{
    if (shielded == shielded_) return;
    shielded_ = shielded;
    run_clock();
    draw_moved();
}

void ScreenForm::tick()
{
    form_.tick();
    after_event();
}

void ScreenForm::key_down(KeyDown key)
{
    form_.key_down(key.code, key.shift);
    after_event();
}

void ScreenForm::click()
{
    form_.click();
    after_event();
}

void ScreenForm::close()
{
    form_.close();
    after_event();
}

void ScreenForm::expose(const Region& device_region)
{
    if (shown_) redraw(device_region);
}

void ScreenForm::draw_moved()
{
    if (moved_.empty() || !shown_ || !seen() || form_.ended() || !surface_.ready_to_draw()) return;
    redraw(moved_);
    moved_.clear();
}

void ScreenForm::redraw(const Region& device_region)
{
    surface_.redraw(scene_, device_region);
    drawn_ = true;
}

// After the end nothing of the program may show, however the platform ends it.
void ScreenForm::after_event()
{
    if (!form_.ended()) {
        draw_moved();
        return;
    }
    clock_.stop();
    if (shown_) surface_.hide();
    shown_ = false;
}

}  // namespace pellavin::screen
