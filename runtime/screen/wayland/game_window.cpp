#include "runtime/screen/wayland/game_window.h"

#include "runtime/screen/shape_scene.h"
#include "runtime/screen/tick_clock.h"

namespace pellavin::screen {

WaylandGameWindow::WaylandGameWindow(
    const WaylandGlobals& globals, const WaylandOutputs& outputs, std::string title, int scale)
    : globals_(globals)
    , outputs_(outputs)
    , title_(std::move(title))
    , scale_(scale)
    , covers_(globals, title_)
{
}

WaylandGameWindow::~WaylandGameWindow() { hide(); }

void WaylandGameWindow::set_background(Rgb color)
{
    background_ = color;
    if (window_) window_->set_color(color);
}

// The form covers the first output; its own size is that output's.
bool WaylandGameWindow::show(const Rect&)
{
    if (window_) return false;
    const Output* output = outputs_.first();
    if (output == nullptr) return false;
    output_ = output->global;
    window_ = std::make_unique<FullScreenWindow>(globals_, title_, output->output, output->geometry(), background_);
    window_->on_configure = [this] {
        if (on_configure) on_configure();
        if (window_->pending()) window_->commit();
    };
    window_->on_frame = [this] {
        if (on_frame) on_frame();
    };
    window_->on_close = [this] {
        if (on_close) on_close();
    };
    shapes_ = std::make_unique<ShapeSurfaces>(globals_, window_->surface(), scale_);
    covers_.follow(outputs_, output);
    return false;  // drawn when the compositor has given it its size
}

void WaylandGameWindow::hide()
{
    covers_.clear();
    shapes_.reset();
    window_.reset();
}

Rect WaylandGameWindow::device_size() const
{
    if (!window_) return {};
    const Rect size = window_->size();
    return {0, 0, size.width * scale_, size.height * scale_};
}

void WaylandGameWindow::redraw(const ShapeScene& scene, const Region&)
{
    if (!configured()) return;
    const bool moved = shapes_->place(scene, device_size(), kSystemFaceColor);
    if (moved || window_->pending()) ask_for_frame();
}

void WaylandGameWindow::ask_for_frame()
{
    if (!configured()) return;
    if (!window_->frame_asked()) {
        asked_at_ = monotonic_now();
        window_->ask_for_frame();
    }
    window_->commit();
}

std::chrono::nanoseconds WaylandGameWindow::frame_waited(std::chrono::nanoseconds now) const
{
    return window_ && window_->frame_asked() ? now - asked_at_ : std::chrono::nanoseconds{};
}

void WaylandGameWindow::follow()
{
    if (!window_) return;
    const Output* game = nullptr;
    for (const auto& output : outputs_.all()) {
        if (output->global == output_) game = output.get();
    }
    // The game's output has gone: the compositor puts the window on another,
    // which is then the game's.
    if (game == nullptr) {
        game = outputs_.first();
        output_ = game != nullptr ? game->global : 0;
    }
    covers_.follow(outputs_, game);
}

std::optional<Rect> WaylandGameWindow::size_of(const wl_surface* surface) const
{
    if (window_ && surface == window_->surface()) return window_->size();
    return covers_.size_of(surface);
}

}  // namespace pellavin::screen
