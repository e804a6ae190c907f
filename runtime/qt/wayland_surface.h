#pragma once

#include "runtime/qt/native_surface.h"

#include <QPoint>

#include <memory>
#include <vector>

class QWidget;
struct wl_compositor;
struct wl_display;
struct wl_event_queue;
struct wl_proxy;
struct wl_shm;
struct wl_subcompositor;
struct wl_surface;
struct wp_viewporter;

namespace pellavin::runtime {
class Shape;
}

namespace pellavin::qt_backend {

// A Wayland window's shapes as surfaces of their own above the window, with
// small buffers drawn once and moved by the compositor: a frame is a few
// positions sent in one message, whatever the output's size, and a buffer
// is drawn again only when its shape changes colour or size. Every
// frame applies whole, with the window's own surface, which Qt draws once
// in the back colour below; input passes through to it.
class WaylandSurface final : public NativeSurface {
public:
    // Nothing when the window is not a Wayland window at a whole scale, or
    // the compositor lacks what this needs.
    static std::unique_ptr<WaylandSurface> create(QWidget& window);
    ~WaylandSurface() override;
    WaylandSurface(const WaylandSurface&) = delete;
    WaylandSurface& operator=(const WaylandSurface&) = delete;

    void redraw(const screen::ShapeScene& scene, const screen::Region& device_region, screen::Rgb window_color) override;

private:
    struct Buffer;
    struct Look;
    struct Tile;
    struct Sprite;

    WaylandSurface(QWidget& window, wl_display* display, wl_surface* parent, int scale);
    bool bind_globals();
    Sprite& sprite_for(size_t index);
    bool place(Sprite& sprite, wl_surface* below, const screen::ShapeScene& scene, size_t index, screen::Rgb window_color);
    std::unique_ptr<Buffer> draw_picture(const Look& look, QPoint lead, const runtime::Shape& shape, screen::Rgb window_color);
    void drop_released_buffers();

    QWidget& window_;
    wl_display* display_;
    wl_surface* parent_;
    int scale_;
    wl_event_queue* queue_ = nullptr;
    wl_proxy* display_wrapper_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_subcompositor* subcompositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wp_viewporter* viewporter_ = nullptr;
    std::vector<std::unique_ptr<Sprite>> sprites_;
    std::vector<std::unique_ptr<Buffer>> retired_;  // replaced, until the compositor lets go
};

}  // namespace pellavin::qt_backend
