#pragma once

#include "runtime/qt/native_surface.h"

#include <QSize>

#include <memory>
#include <vector>

class QWidget;
struct wl_buffer;
struct wl_compositor;
struct wl_display;
struct wl_event_queue;
struct wl_proxy;
struct wl_shm;
struct wl_subcompositor;
struct wl_subsurface;
struct wl_surface;

namespace pellavin::qt_backend {

// A Wayland window's shapes on a surface of its own above the window, in
// shared-memory buffers that are redrawn only where something changed since
// each was last shown. A frame costs a few small rectangles however large
// the output: no buffer is copied whole, and the compositor is told only
// what changed. Each buffer is drawn while the compositor does not hold it,
// so no frame is seen half drawn. The window's own surface, drawn once by
// Qt, lies black below; input passes through to it.
class WaylandSurface final : public NativeSurface {
public:
    // Nothing when the window is not a Wayland window at a whole scale.
    static std::unique_ptr<WaylandSurface> create(QWidget& window);
    ~WaylandSurface() override;
    WaylandSurface(const WaylandSurface&) = delete;
    WaylandSurface& operator=(const WaylandSurface&) = delete;

    void set_background(const QColor&) override {}
    void redraw(const ShapeScene& scene, const QRegion& device_region, const QColor& window_color) override;

    // Buffers made so far (two, or a third when the compositor keeps both).
    size_t buffer_count() const { return buffers_.size(); }

private:
    struct Buffer;

    WaylandSurface(QWidget& window, wl_display* display);
    bool bind_globals(wl_surface* parent);
    void follow_size();
    Buffer* free_buffer();

    QWidget& window_;
    wl_display* display_;
    wl_event_queue* queue_ = nullptr;
    wl_proxy* display_wrapper_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_subcompositor* subcompositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_surface* surface_ = nullptr;
    wl_subsurface* subsurface_ = nullptr;
    int scale_ = 1;
    QSize size_;  // device pixels
    std::vector<std::unique_ptr<Buffer>> buffers_;
    QRegion unshown_;  // changed since the compositor's buffer was drawn
    bool retry_pending_ = false;
};

}  // namespace pellavin::qt_backend
