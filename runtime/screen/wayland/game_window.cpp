#include "runtime/screen/wayland/game_window.h"

#include "runtime/screen/shape_scene.h"

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
    if (moved || window_->pending()) window_->commit();
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
