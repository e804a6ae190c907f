#include "runtime/qt/wayland_surface.h"

#include "runtime/qt/canvas.h"
#include "runtime/qt/shape_scene.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace pellavin::qt_backend {
namespace {

constexpr int kBytesPerPixel = 4;
// Two buffers take turns; a third comes when the compositor still holds
// both, and no more: then a frame waits for the next release.
constexpr size_t kMostBuffers = 3;
// How soon a frame that found no free buffer is tried again.
constexpr int kRetryMs = 4;
constexpr uint32_t kSurfaceVersion = 4;  // damage in buffer pixels

template <typename T>
T* bind(wl_registry* registry, uint32_t name, const wl_interface& interface, uint32_t version)
{
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, version));
}

}  // namespace

struct WaylandSurface::Buffer {
    Buffer(wl_shm* shm, QSize device_size)
        : size(device_size)
        , stride(device_size.width() * kBytesPerPixel)
        , bytes(static_cast<size_t>(stride) * static_cast<size_t>(device_size.height()))
        , stale(QRect(QPoint(0, 0), device_size))
    {
        fd = memfd_create("pellavin-frame", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, static_cast<off_t>(bytes)) != 0) return;
        void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapped == MAP_FAILED) return;
        data = static_cast<uchar*>(mapped);
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(bytes));
        buffer = wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), stride, WL_SHM_FORMAT_XRGB8888);
        wl_shm_pool_destroy(pool);
        static const wl_buffer_listener listener = {
            [](void* self, wl_buffer*) { static_cast<Buffer*>(self)->busy = false; },
        };
        wl_buffer_add_listener(buffer, &listener, this);
    }

    ~Buffer()
    {
        if (buffer != nullptr) wl_buffer_destroy(buffer);
        if (data != nullptr) munmap(data, bytes);
        if (fd >= 0) close(fd);
    }

    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    bool usable() const { return buffer != nullptr; }
    QImage image() { return QImage(data, size.width(), size.height(), stride, QImage::Format_RGB32); }

    QSize size;
    int stride;
    size_t bytes;
    int fd = -1;
    uchar* data = nullptr;
    wl_buffer* buffer = nullptr;
    bool busy = false;
    QRegion stale;  // device pixels that do not show the scene as it is
};

std::unique_ptr<WaylandSurface> WaylandSurface::create(QWidget& window)
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return nullptr;
    // Wayland scales surfaces by whole numbers only.
    const double ratio = window.devicePixelRatioF();
    if (ratio != std::round(ratio)) return nullptr;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* display = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
    auto* parent = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", window.windowHandle()));
    if (display == nullptr || parent == nullptr) return nullptr;
    std::unique_ptr<WaylandSurface> surface(new WaylandSurface(window, display));
    surface->scale_ = static_cast<int>(ratio);
    if (!surface->bind_globals(parent)) return nullptr;
    return surface;
}

WaylandSurface::WaylandSurface(QWidget& window, wl_display* display)
    : window_(window)
    , display_(display)
{
}

WaylandSurface::~WaylandSurface()
{
    buffers_.clear();
    if (subsurface_ != nullptr) wl_subsurface_destroy(subsurface_);
    if (surface_ != nullptr) wl_surface_destroy(surface_);
    if (shm_ != nullptr) wl_shm_destroy(shm_);
    if (subcompositor_ != nullptr) wl_subcompositor_destroy(subcompositor_);
    if (compositor_ != nullptr) wl_compositor_destroy(compositor_);
    if (display_wrapper_ != nullptr) wl_proxy_wrapper_destroy(display_wrapper_);
    if (queue_ != nullptr) {
        wl_display_flush(display_);
        wl_event_queue_destroy(queue_);
    }
}

// The objects of this surface live on an event queue of their own, which
// only this code dispatches: Qt's own queue never sees their events.
bool WaylandSurface::bind_globals(wl_surface* parent)
{
    queue_ = wl_display_create_queue(display_);
    display_wrapper_ = static_cast<wl_proxy*>(wl_proxy_create_wrapper(display_));
    wl_proxy_set_queue(display_wrapper_, queue_);
    wl_registry* registry = wl_display_get_registry(reinterpret_cast<wl_display*>(display_wrapper_));
    static const wl_registry_listener listener = {
        [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
            auto* self = static_cast<WaylandSurface*>(data);
            if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= kSurfaceVersion) {
                self->compositor_ = bind<wl_compositor>(registry, name, wl_compositor_interface, kSurfaceVersion);
            } else if (std::strcmp(interface, wl_subcompositor_interface.name) == 0) {
                self->subcompositor_ = bind<wl_subcompositor>(registry, name, wl_subcompositor_interface, 1);
            } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
                self->shm_ = bind<wl_shm>(registry, name, wl_shm_interface, 1);
            }
        },
        [](void*, wl_registry*, uint32_t) {},
    };
    wl_registry_add_listener(registry, &listener, this);
    wl_display_roundtrip_queue(display_, queue_);
    wl_registry_destroy(registry);
    if (compositor_ == nullptr || subcompositor_ == nullptr || shm_ == nullptr) return false;

    surface_ = wl_compositor_create_surface(compositor_);
    subsurface_ = wl_subcompositor_get_subsurface(subcompositor_, surface_, parent);
    wl_subsurface_set_position(subsurface_, 0, 0);
    // Its frames show as soon as they are committed, not with the window's.
    wl_subsurface_set_desync(subsurface_);
    wl_region* nowhere = wl_compositor_create_region(compositor_);
    wl_surface_set_input_region(surface_, nowhere);  // pointer and clicks go to the window
    wl_region_destroy(nowhere);
    wl_surface_set_buffer_scale(surface_, scale_);
    return true;
}

void WaylandSurface::follow_size()
{
    const QSize size = window_.size() * scale_;
    if (size == size_) return;
    size_ = size;
    buffers_.clear();
    wl_region* opaque = wl_compositor_create_region(compositor_);
    wl_region_add(opaque, 0, 0, window_.width(), window_.height());
    wl_surface_set_opaque_region(surface_, opaque);
    wl_region_destroy(opaque);
    unshown_ = QRect(QPoint(0, 0), size_);
}

WaylandSurface::Buffer* WaylandSurface::free_buffer()
{
    // Qt's reader of the connection sorts the compositor's releases onto
    // this surface's queue; taking them costs no system call.
    wl_display_dispatch_queue_pending(display_, queue_);
    for (const auto& buffer : buffers_) {
        if (!buffer->busy) return buffer.get();
    }
    if (buffers_.size() >= kMostBuffers) return nullptr;
    auto buffer = std::make_unique<Buffer>(shm_, size_);
    if (!buffer->usable()) return nullptr;
    buffers_.push_back(std::move(buffer));
    return buffers_.back().get();
}

void WaylandSurface::redraw(const ShapeScene& scene, const QRegion& device_region, const QColor& window_color)
{
    follow_size();
    unshown_ += device_region;
    for (const auto& buffer : buffers_) buffer->stale += device_region;
    Buffer* buffer = free_buffer();
    if (buffer == nullptr) {
        // Every buffer is still on the screen: show this frame a moment later.
        if (!retry_pending_) {
            retry_pending_ = true;
            QTimer::singleShot(kRetryMs, &window_, [this, &scene, window_color] {
                retry_pending_ = false;
                redraw(scene, QRegion(), window_color);
            });
        }
        return;
    }
    if (!buffer->stale.isEmpty()) {
        QImage image = buffer->image();
        QPainter painter(&image);
        painter.setClipRegion(buffer->stale);
        PainterCanvas canvas(painter, 1.0);
        scene.draw(canvas, buffer->stale, window_color);
        buffer->stale = QRegion();
    }
    wl_surface_attach(surface_, buffer->buffer, 0, 0);
    for (const QRect& rect : unshown_) wl_surface_damage_buffer(surface_, rect.x(), rect.y(), rect.width(), rect.height());
    wl_surface_commit(surface_);
    buffer->busy = true;
    unshown_ = QRegion();
    wl_display_flush(display_);
}

}  // namespace pellavin::qt_backend
