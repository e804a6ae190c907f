#pragma once

#include "runtime/core/form.h"
#include "runtime/screen/device_pixels.h"
#include "runtime/screen/geometry.h"
#include "runtime/screen/keys.h"
#include "runtime/screen/shape_scene.h"
#include "runtime/screen/tick_clock.h"

namespace pellavin::screen {

// The full-screen programs have no dialog face; a form that asks for the
// system's colour gets the usual light grey.
inline constexpr Rgb kSystemFaceColor{0xF0, 0xF0, 0xF0};

// What a window system gives a form: a place to show it in (a window of its
// own over the screen, or a window it was given) that shows the form's back
// colour and draws its shapes.
class Surface {
public:
    virtual ~Surface() = default;
    // Shows the form's client area, `size` device pixels large. True when
    // it shows at once and is to be drawn whole now; otherwise the window
    // system reports what to draw once it shows.
    virtual bool show(const Rect& size) = 0;
    // Takes everything of the program off the screen.
    virtual void hide() = 0;
    // The colour shown where nothing is drawn.
    virtual void set_background(Rgb color) = 0;
    // Brings `device_region` up to date with the scene, all of it seen at once.
    virtual void redraw(const ShapeScene& scene, const Region& device_region) = 0;
    // Whether what moved may be drawn now; otherwise it waits for the
    // window system to ask for it (draw_moved()).
    virtual bool ready_to_draw() const { return true; }
};

// A form on a window system: it draws the form through its surface, in
// device pixels, only what changed; runs the form's timers on the tick;
// and feeds the form what the window system reports. The backend calls
// draw_moved() once it has handled a batch of events, and says when the
// form can no longer be seen (covered, locked away, the screen off), as
// does the desktop when its own shield is over everything: until it can
// be seen again, its timers rest and nothing is drawn.
class ScreenForm final : public runtime::FormView {
public:
    ScreenForm(runtime::Form& form, DevicePixels pixels, Surface& surface);
    ~ScreenForm() override;
    ScreenForm(const ScreenForm&) = delete;
    ScreenForm& operator=(const ScreenForm&) = delete;

    void form_changed() override;
    void control_changed(runtime::Control& control) override;
    void timers_changed() override;

    // From the window system.
    void key_down(KeyDown key);
    void click();
    void close();
    void expose(const Region& device_region);
    void draw_moved();
    void set_seen(bool seen);
    void set_shielded(bool shielded);
    bool seen() const { return seen_ && !shielded_; }
    // Something of the form has been drawn.
    bool drawn() const { return drawn_; }

    const ShapeScene& scene() const { return scene_; }
    const TickClock& clock() const { return clock_; }
    TickClock& clock() { return clock_; }

private:
    void tick();
    void after_event();
    void run_clock();
    void redraw(const Region& device_region);

    runtime::Form& form_;
    Surface& surface_;
    ShapeScene scene_;
    TickClock clock_;
    Region moved_;  // device pixels
    bool shown_ = false;
    bool seen_ = true;      // as the window system says
    bool shielded_ = false;  // as the desktop says
    bool drawn_ = false;
};

}  // namespace pellavin::screen
