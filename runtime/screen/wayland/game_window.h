#pragma once

#include "runtime/screen/screen_form.h"
#include "runtime/screen/wayland/covers.h"
#include "runtime/screen/wayland/full_screen_window.h"
#include "runtime/screen/wayland/outputs.h"
#include "runtime/screen/wayland/shape_surfaces.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pellavin::screen {

// The game's own window in a Wayland session: full screen on the first
// output, in the form's back colour, with a surface of its own for each
// shape, and black covers on every other output.
class WaylandGameWindow final : public Surface {
public:
    // On outputs of `scale` device pixels a logical one.
    WaylandGameWindow(const WaylandGlobals& globals, const WaylandOutputs& outputs, std::string title, int scale);
    ~WaylandGameWindow() override;

    bool show(const Rect& size) override;
    void hide() override;
    void set_background(Rgb color) override;
    void redraw(const ShapeScene& scene, const Region& device_region) override;
    // A frame drawn waits until the compositor has shown the last one.
    bool ready_to_draw() const override { return !window_ || !window_->frame_asked(); }

    // How long the compositor has left the frame asked for unshown, at
    // `now` (CLOCK_MONOTONIC); zero while none waits.
    std::chrono::nanoseconds frame_waited(std::chrono::nanoseconds now) const;
    // How long ago the last frame was asked for.
    std::chrono::nanoseconds since_frame_asked(std::chrono::nanoseconds now) const { return now - asked_at_; }
    // Commits, asking for a frame when none is asked for yet; a still scene
    // asks now and then too, to learn when nobody can see it.
    void ask_for_frame();

    // The outputs have changed.
    void follow();
    // The size of the game's window or a cover, logical pixels at (0, 0);
    // nothing for any other surface.
    std::optional<Rect> size_of(const wl_surface* surface) const;
    // The compositor has given the window its size: it is to be drawn whole.
    bool configured() const { return window_ && window_->configured(); }
    // Its size in device pixels.
    Rect device_size() const;

    // The compositor has configured the window (it shows once drawn), has
    // shown a frame, or the user asks to close it.
    std::function<void()> on_configure;
    std::function<void()> on_frame;
    std::function<void()> on_close;

private:
    const WaylandGlobals& globals_;
    const WaylandOutputs& outputs_;
    std::string title_;
    int scale_;
    Rgb background_;
    uint32_t output_ = 0;  // the game's output, by its global name
    std::chrono::nanoseconds asked_at_{};
    std::unique_ptr<FullScreenWindow> window_;
    std::unique_ptr<ShapeSurfaces> shapes_;
    WaylandCovers covers_;
};

}  // namespace pellavin::screen
