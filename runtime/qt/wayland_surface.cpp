#include "runtime/qt/wayland_surface.h"

#include "runtime/qt/canvas.h"
#include "runtime/qt/qt_geometry.h"
#include "runtime/screen/shape_scene.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include "viewporter-client-protocol.h"

#include <cmath>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace pellavin::qt_backend {
namespace {

constexpr int kBytesPerPixel = 4;
constexpr uint32_t kSurfaceVersion = 4;  // damage in buffer pixels

template <typename T>
T* bind(wl_registry* registry, uint32_t name, const wl_interface& interface, uint32_t version)
{
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, version));
}

// Rounds towards minus infinity, off the window's left edge too.
int floor_div(int value, int divisor) { return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor); }
int ceil_div(int value, int divisor) { return (value + divisor - 1) / divisor; }

}  // namespace

// A shape's picture in shared memory.
struct WaylandSurface::Buffer {
    Buffer(wl_shm* shm, QSize device_size)
        : size(device_size)
        , stride(device_size.width() * kBytesPerPixel)
        , bytes(static_cast<size_t>(stride) * static_cast<size_t>(device_size.height()))
    {
        fd = memfd_create("pellavin-shape", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, static_cast<off_t>(bytes)) != 0) return;
        void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapped == MAP_FAILED) return;
        data = static_cast<uchar*>(mapped);
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(bytes));
        buffer = wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), stride, WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
        static const wl_buffer_listener listener = {
            [](void* self, wl_buffer*) { static_cast<Buffer*>(self)->released = true; },
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
    QImage image() { return QImage(data, size.width(), size.height(), stride, QImage::Format_ARGB32_Premultiplied); }

    QSize size;
    int stride;
    size_t bytes;
    int fd = -1;
    uchar* data = nullptr;
    wl_buffer* buffer = nullptr;
    bool released = true;  // not held by the compositor
};

// What a picture of a shape shows.
struct WaylandSurface::Look {
    QSize size;
    QRgb fill;
    QRgb border;
    int figure;
    int fill_style;
    bool operator==(const Look&) const = default;
};

// One surface of a shape. A surface stands on whole logical pixels, so on
// an output scaled s times a shape has s by s of them, the shape drawn into
// each as many device pixels from its corner as the surface's column and
// row: the one that matches the device pixel the shape starts on shows, the
// others wait below the window's own surface, out of sight but on the same
// output, so that neither a move nor a change of surface needs a buffer or
// any word back from the compositor.
struct WaylandSurface::Tile {
    struct Placement {
        QPoint position;  // logical pixels in the window
        QRect source;     // device pixels of the buffer; empty: all of it
        bool operator==(const Placement&) const = default;
    };

    ~Tile()
    {
        wp_viewport_destroy(viewport);
        wl_subsurface_destroy(subsurface);
        wl_surface_destroy(surface);
    }

    wl_surface* surface = nullptr;
    wl_subsurface* subsurface = nullptr;
    wp_viewport* viewport = nullptr;
    Look look{};
    std::unique_ptr<Buffer> buffer;
    Placement placement{};
    bool placed = false;
};

struct WaylandSurface::Sprite {
    std::vector<std::unique_ptr<Tile>> tiles;
    Tile* shown = nullptr;
};

std::unique_ptr<WaylandSurface> WaylandSurface::create(QWidget& window)
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return nullptr;
    // Wayland scales surfaces by whole numbers only.
    const double ratio = window.devicePixelRatioF();
    if (ratio < 1 || ratio != std::round(ratio)) return nullptr;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* display = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
    auto* parent = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", window.windowHandle()));
    if (display == nullptr || parent == nullptr) return nullptr;
    std::unique_ptr<WaylandSurface> surface(new WaylandSurface(window, display, parent, static_cast<int>(ratio)));
    if (!surface->bind_globals()) return nullptr;
    return surface;
}

WaylandSurface::WaylandSurface(QWidget& window, wl_display* display, wl_surface* parent, int scale)
    : window_(window)
    , display_(display)
    , parent_(parent)
    , scale_(scale)
{
}

WaylandSurface::~WaylandSurface()
{
    sprites_.clear();
    retired_.clear();
    if (viewporter_ != nullptr) wp_viewporter_destroy(viewporter_);
    if (shm_ != nullptr) wl_shm_destroy(shm_);
    if (subcompositor_ != nullptr) wl_subcompositor_destroy(subcompositor_);
    if (compositor_ != nullptr) wl_compositor_destroy(compositor_);
    if (display_wrapper_ != nullptr) wl_proxy_wrapper_destroy(display_wrapper_);
    if (queue_ != nullptr) {
        wl_display_flush(display_);
        wl_event_queue_destroy(queue_);
    }
}

// The objects of the shapes live on an event queue of their own, which only
// this code dispatches: Qt's own queue never sees their events.
bool WaylandSurface::bind_globals()
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
            } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
                self->viewporter_ = bind<wp_viewporter>(registry, name, wp_viewporter_interface, 1);
            }
        },
        [](void*, wl_registry*, uint32_t) {},
    };
    wl_registry_add_listener(registry, &listener, this);
    wl_display_roundtrip_queue(display_, queue_);
    wl_registry_destroy(registry);
    return compositor_ != nullptr && subcompositor_ != nullptr && shm_ != nullptr && viewporter_ != nullptr;
}

WaylandSurface::Sprite& WaylandSurface::sprite_for(size_t index)
{
    // Made in the shapes' order, each above the last, as they are drawn.
    while (sprites_.size() <= index) {
        auto sprite = std::make_unique<Sprite>();
        for (int i = 0; i < scale_ * scale_; ++i) {
            auto tile = std::make_unique<Tile>();
            tile->surface = wl_compositor_create_surface(compositor_);
            tile->subsurface = wl_subcompositor_get_subsurface(subcompositor_, tile->surface, parent_);
            tile->viewport = wp_viewporter_get_viewport(viewporter_, tile->surface);
            wl_region* nowhere = wl_compositor_create_region(compositor_);
            wl_surface_set_input_region(tile->surface, nowhere);  // pointer and clicks go to the window
            wl_region_destroy(nowhere);
            wl_surface_set_buffer_scale(tile->surface, scale_);
            wl_subsurface_place_below(tile->subsurface, parent_);
            sprite->tiles.push_back(std::move(tile));
        }
        sprites_.push_back(std::move(sprite));
    }
    return *sprites_[index];
}

// Brings one shape's surfaces to the scene; returns whether they changed.
// Their changes wait for the window's next commit.
bool WaylandSurface::place(
    Sprite& sprite, wl_surface* below, const screen::ShapeScene& scene, size_t index, screen::Rgb window_color)
{
    const runtime::Shape& shape = *scene.shapes()[index];
    const QRect rect = to_qt(scene.place_of(shape));
    const QRect visible = rect & QRect(QPoint(0, 0), window_.size() * scale_);
    Tile* tile = nullptr;
    QPoint lead;
    if (!visible.isEmpty()) {
        lead = QPoint(rect.left() - floor_div(rect.left(), scale_) * scale_, rect.top() - floor_div(rect.top(), scale_) * scale_);
        tile = sprite.tiles[static_cast<size_t>(lead.y() * scale_ + lead.x())].get();
    }
    bool changed = false;
    if (sprite.shown != tile) {
        if (sprite.shown != nullptr) wl_subsurface_place_below(sprite.shown->subsurface, parent_);
        // Just above the shape drawn before it.
        if (tile != nullptr) wl_subsurface_place_above(tile->subsurface, below);
        sprite.shown = tile;
        changed = true;
    }
    if (tile == nullptr) return changed;

    const Look look{rect.size(), to_qt(screen::rgb_of(shape.FillColor(), window_color)).rgba(),
        to_qt(screen::rgb_of(shape.BorderColor(), window_color)).rgba(), static_cast<int>(shape.figure()),
        static_cast<int>(shape.fill_style())};
    bool tile_changed = false;
    if (!tile->buffer || !(look == tile->look)) {
        auto buffer = draw_picture(look, lead, shape, window_color);
        if (!buffer) return changed;
        wl_surface_attach(tile->surface, buffer->buffer, 0, 0);
        wl_surface_damage_buffer(tile->surface, 0, 0, buffer->size.width(), buffer->size.height());
        buffer->released = false;  // until the compositor lets go of it
        if (tile->buffer) retired_.push_back(std::move(tile->buffer));
        tile->buffer = std::move(buffer);
        tile->look = look;
        tile_changed = true;
    }

    // The surface stands on the logical pixel at or before the shape's first
    // device pixel. A shape partly off the window shows only its part in it,
    // cropped on whole logical pixels.
    const QPoint position(floor_div(visible.left(), scale_), floor_div(visible.top(), scale_));
    Tile::Placement placement{position, QRect()};
    if (visible != rect) {
        const QPoint visible_lead = visible.topLeft() - position * scale_;
        const QSize shown(ceil_div(visible_lead.x() + visible.width(), scale_) * scale_,
            ceil_div(visible_lead.y() + visible.height(), scale_) * scale_);
        placement.source = QRect(lead + (visible.topLeft() - rect.topLeft()) - visible_lead, shown);
    }
    if (!(placement == tile->placement) || !tile->placed) {
        if (placement.source.isEmpty()) {
            wp_viewport_set_source(tile->viewport, wl_fixed_from_int(-1), wl_fixed_from_int(-1), wl_fixed_from_int(-1),
                wl_fixed_from_int(-1));
            wp_viewport_set_destination(tile->viewport, -1, -1);
        } else {
            const QRect source = placement.source;
            wp_viewport_set_source(tile->viewport, wl_fixed_from_int(source.x() / scale_),
                wl_fixed_from_int(source.y() / scale_), wl_fixed_from_int(source.width() / scale_),
                wl_fixed_from_int(source.height() / scale_));
            wp_viewport_set_destination(tile->viewport, source.width() / scale_, source.height() / scale_);
        }
        wl_subsurface_set_position(tile->subsurface, position.x(), position.y());
        tile->placement = placement;
        tile_changed = true;
    }
    if (tile_changed) wl_surface_commit(tile->surface);
    tile->placed = true;
    return changed || tile_changed;
}

// The shape drawn `lead` device pixels from the corner of a buffer of whole
// logical pixels.
std::unique_ptr<WaylandSurface::Buffer> WaylandSurface::draw_picture(
    const Look& look, QPoint lead, const runtime::Shape& shape, screen::Rgb window_color)
{
    const QSize size(ceil_div(lead.x() + look.size.width(), scale_) * scale_,
        ceil_div(lead.y() + look.size.height(), scale_) * scale_);
    auto buffer = std::make_unique<Buffer>(shm_, size);
    if (!buffer->usable()) return nullptr;
    QImage image = buffer->image();
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PainterCanvas canvas(painter, 1.0);
    draw_shape(canvas, shape, from_qt(QRect(lead, look.size)), window_color);
    return buffer;
}

void WaylandSurface::drop_released_buffers()
{
    // Qt's reader of the connection sorts the compositor's releases onto
    // this queue; taking them costs no system call.
    wl_display_dispatch_queue_pending(display_, queue_);
    std::erase_if(retired_, [](const std::unique_ptr<Buffer>& buffer) { return buffer->released; });
}

void WaylandSurface::redraw(const screen::ShapeScene& scene, const screen::Region&, screen::Rgb window_color)
{
    drop_released_buffers();
    bool changed = false;
    wl_surface* below = parent_;
    for (size_t i = 0; i < scene.shapes().size(); ++i) {
        Sprite& sprite = sprite_for(i);
        changed |= place(sprite, below, scene, i, window_color);
        if (sprite.shown != nullptr) below = sprite.shown->surface;
    }
    if (!changed) return;
    // The shapes' surfaces follow the window's: all of a frame shows at once.
    wl_surface_commit(parent_);
    wl_display_flush(display_);
}

}  // namespace pellavin::qt_backend
