// The Wayland floor: the least a Wayland client can do to show the game's
// scene. A black full-screen toplevel in one shared-memory buffer at the
// output's scale, the ball and the paddles moved at 64 Hz on absolute
// deadlines; each tick redraws only the shapes that moved and tells the
// compositor only those rectangles. A buffer the compositor still holds is
// never drawn into: the next free one is brought up to date instead, from
// what it showed when it was last drawn. Plain libwayland-client and
// xdg-shell, one thread, one poll loop; SIGTERM ends it.
#include "floor/scene.h"

#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

using pellavin::bench::kTickNs;
using pellavin::bench::Rect;
using pellavin::bench::Scene;

constexpr uint32_t kBlack = 0xff000000;
constexpr uint32_t kWhite = 0xffffffff;
// With the compositor slow to let go, a third buffer keeps a frame from
// waiting; past that a tick's drawing waits for the next.
constexpr size_t kMostBuffers = 3;

// A full-screen picture in shared memory, in device pixels, and the shapes
// it shows.
struct Buffer {
    Buffer(wl_shm* shm, int width, int height)
        : width(width)
        , height(height)
        , bytes(size_t(width) * size_t(height) * sizeof(uint32_t))
    {
        const int fd = memfd_create("floor", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, off_t(bytes)) != 0) return;
        void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapped != MAP_FAILED) {
            pixels = static_cast<uint32_t*>(mapped);
            std::fill_n(pixels, size_t(width) * size_t(height), kBlack);
            wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(bytes));
            buffer = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_XRGB8888);
            wl_shm_pool_destroy(pool);
            static const wl_buffer_listener listener = {
                .release = [](void* self, wl_buffer*) { static_cast<Buffer*>(self)->held = false; },
            };
            wl_buffer_add_listener(buffer, &listener, this);
        }
        close(fd);
    }

    ~Buffer()
    {
        if (buffer != nullptr) wl_buffer_destroy(buffer);
        if (pixels != nullptr) munmap(pixels, bytes);
    }

    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    void fill(const Rect& r, uint32_t colour)
    {
        for (int y = r.y; y < r.y + r.h; ++y) std::fill_n(pixels + size_t(y) * size_t(width) + size_t(r.x), r.w, colour);
    }

    // A filled circle inscribed in `r`, a row's span at a time.
    void fill_disc(const Rect& r, uint32_t colour)
    {
        const double radius = r.w / 2.0;
        for (int row = 0; row < r.h; ++row) {
            const double dy = row + 0.5 - radius;
            const double half = std::sqrt(std::max(0.0, radius * radius - dy * dy));
            const int left = int(std::lround(radius - half));
            const int right = int(std::lround(radius + half));
            std::fill_n(pixels + size_t(r.y + row) * size_t(width) + size_t(r.x + left), right - left, colour);
        }
    }

    int width;
    int height;
    size_t bytes;
    uint32_t* pixels = nullptr;
    wl_buffer* buffer = nullptr;
    bool held = false;                     // by the compositor, until it releases it
    std::optional<Scene::Shapes> showing;  // nothing: only black
};

class Floor {
public:
    bool connect();
    int run();

private:
    static void on_global(void* self, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    Rect device(const Rect& r) const { return {r.x * scale_, r.y * scale_, r.w * scale_, r.h * scale_}; }
    Buffer* free_buffer();
    void draw_tick();

    wl_display* display_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    xdg_wm_base* shell_ = nullptr;
    wl_surface* surface_ = nullptr;
    int width_ = 0;  // logical pixels, from the compositor
    int height_ = 0;
    int scale_ = 1;
    std::pair<int, int> output_mode_;  // device pixels
    bool configured_ = false;
    bool closed_ = false;
    std::optional<Scene> scene_;
    std::optional<Scene::Shapes> committed_;  // what the surface shows
    std::vector<std::unique_ptr<Buffer>> buffers_;
};

void Floor::on_global(void* self, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* floor = static_cast<Floor*>(self);
    auto bind = [&](const wl_interface& wanted, uint32_t least) {
        return version >= least ? wl_registry_bind(registry, name, &wanted, least) : nullptr;
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        floor->compositor_ = static_cast<wl_compositor*>(bind(wl_compositor_interface, 4));  // damage in buffer pixels
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        floor->shm_ = static_cast<wl_shm*>(bind(wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        floor->shell_ = static_cast<xdg_wm_base*>(bind(xdg_wm_base_interface, 1));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        // Full screen on the one output the bench has, the buffer is drawn
        // at its scale, as the runner draws.
        static const wl_output_listener listener = {
            .geometry = [](void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                            int32_t) {},
            .mode =
                [](void* self, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
                    auto* floor = static_cast<Floor*>(self);
                    if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) floor->output_mode_ = {width, height};
                },
            .done = [](void*, wl_output*) {},
            .scale =
                [](void* self, wl_output*, int32_t factor) {
                    auto* floor = static_cast<Floor*>(self);
                    floor->scale_ = std::max(floor->scale_, int(factor));
                },
            .name = nullptr,
            .description = nullptr,
        };
        if (auto* output = static_cast<wl_output*>(bind(wl_output_interface, 2))) {
            wl_output_add_listener(output, &listener, floor);
        }
    }
}

bool Floor::connect()
{
    display_ = wl_display_connect(nullptr);
    if (display_ == nullptr) {
        std::fprintf(stderr, "floor: no Wayland display\n");
        return false;
    }
    static const wl_registry_listener registry_listener = {.global = on_global, .global_remove = nullptr};
    wl_registry_add_listener(wl_display_get_registry(display_), &registry_listener, this);
    wl_display_roundtrip(display_);
    if (compositor_ == nullptr || shm_ == nullptr || shell_ == nullptr) {
        std::fprintf(stderr, "floor: the compositor lacks wl_compositor 4, wl_shm or xdg_wm_base\n");
        return false;
    }
    wl_display_roundtrip(display_);  // the outputs' scales

    static const xdg_wm_base_listener shell_listener = {
        .ping = [](void*, xdg_wm_base* shell, uint32_t serial) { xdg_wm_base_pong(shell, serial); },
    };
    xdg_wm_base_add_listener(shell_, &shell_listener, this);
    surface_ = wl_compositor_create_surface(compositor_);
    xdg_surface* shell_surface = xdg_wm_base_get_xdg_surface(shell_, surface_);
    static const xdg_surface_listener surface_listener = {
        .configure =
            [](void* self, xdg_surface* shell_surface, uint32_t serial) {
                xdg_surface_ack_configure(shell_surface, serial);
                static_cast<Floor*>(self)->configured_ = true;
            },
    };
    xdg_surface_add_listener(shell_surface, &surface_listener, this);
    xdg_toplevel* toplevel = xdg_surface_get_toplevel(shell_surface);
    static const xdg_toplevel_listener toplevel_listener = {
        .configure =
            [](void* self, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
                auto* floor = static_cast<Floor*>(self);
                // Only the first size counts: the output does not change under the bench.
                if (floor->width_ == 0 && width > 0 && height > 0) {
                    floor->width_ = width;
                    floor->height_ = height;
                }
            },
        .close = [](void* self, xdg_toplevel*) { static_cast<Floor*>(self)->closed_ = true; },
        .configure_bounds = nullptr,  // not sent at version 1
        .wm_capabilities = nullptr,
    };
    xdg_toplevel_add_listener(toplevel, &toplevel_listener, this);
    xdg_toplevel_set_title(toplevel, "floor");
    xdg_toplevel_set_fullscreen(toplevel, nullptr);
    wl_surface_set_buffer_scale(surface_, scale_);
    wl_surface_commit(surface_);
    while (!configured_ && wl_display_dispatch(display_) >= 0) {}
    if (width_ == 0) {
        // A compositor may leave a full-screen window's size to the
        // client (sway does at first): the output's.
        width_ = output_mode_.first / scale_;
        height_ = output_mode_.second / scale_;
    }
    if (width_ == 0) {
        std::fprintf(stderr, "floor: the compositor gave the full-screen window no size\n");
        return false;
    }
    // Black and opaque everywhere: nothing below needs drawing.
    wl_region* opaque = wl_compositor_create_region(compositor_);
    wl_region_add(opaque, 0, 0, width_, height_);
    wl_surface_set_opaque_region(surface_, opaque);
    wl_region_destroy(opaque);
    scene_.emplace(width_, height_);
    return true;
}

Buffer* Floor::free_buffer()
{
    for (const auto& buffer : buffers_) {
        if (!buffer->held) return buffer.get();
    }
    if (buffers_.size() == kMostBuffers) return nullptr;
    auto buffer = std::make_unique<Buffer>(shm_, width_ * scale_, height_ * scale_);
    if (buffer->buffer == nullptr) return nullptr;
    return buffers_.emplace_back(std::move(buffer)).get();
}

// Brings a free buffer up to the scene, and shows it with only the
// rectangles that changed since the last frame marked.
void Floor::draw_tick()
{
    Buffer* buffer = free_buffer();
    if (buffer == nullptr) return;
    const Scene::Shapes& now = scene_->shapes();
    if (buffer->showing) {
        for (size_t i = 0; i < now.size(); ++i) {
            if ((*buffer->showing)[i] != now[i]) buffer->fill(device((*buffer->showing)[i]), kBlack);
        }
    }
    for (size_t i = 0; i < now.size(); ++i) {
        if (buffer->showing && (*buffer->showing)[i] == now[i]) continue;
        if (i == Scene::kBallIndex) {
            buffer->fill_disc(device(now[i]), kWhite);
        } else {
            buffer->fill(device(now[i]), kWhite);
        }
    }
    buffer->showing = now;

    if (committed_) {
        for (size_t i = 0; i < now.size(); ++i) {
            if ((*committed_)[i] == now[i]) continue;
            for (const Rect& changed : {device((*committed_)[i]), device(now[i])}) {
                wl_surface_damage_buffer(surface_, changed.x, changed.y, changed.w, changed.h);
            }
        }
    } else {
        wl_surface_damage_buffer(surface_, 0, 0, buffer->width, buffer->height);
    }
    committed_ = now;
    wl_surface_attach(surface_, buffer->buffer, 0, 0);
    wl_surface_commit(surface_);
    buffer->held = true;
}

int Floor::run()
{
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, nullptr);
    const int signals = signalfd(-1, &term, SFD_CLOEXEC);
    // A periodic timer from an absolute start keeps every deadline where it
    // was set; ticks missed while stalled are counted together and skipped.
    const int ticks = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    constexpr timespec kTick{0, static_cast<long>(kTickNs)};
    itimerspec schedule{kTick, start};
    timerfd_settime(ticks, TFD_TIMER_ABSTIME, &schedule, nullptr);

    draw_tick();
    pollfd fds[] = {{wl_display_get_fd(display_), POLLIN, 0}, {ticks, POLLIN, 0}, {signals, POLLIN, 0}};
    while (!closed_) {
        while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
        if (wl_display_flush(display_) < 0) {
            wl_display_cancel_read(display_);
            break;
        }
        if (poll(fds, 3, -1) < 0) {
            wl_display_cancel_read(display_);
            if (errno == EINTR) continue;
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            if (wl_display_read_events(display_) < 0) break;
        } else {
            wl_display_cancel_read(display_);
        }
        if ((fds[0].revents & (POLLERR | POLLHUP)) != 0) break;
        if (wl_display_dispatch_pending(display_) < 0) break;
        if ((fds[2].revents & POLLIN) != 0) return 0;
        if ((fds[1].revents & POLLIN) != 0) {
            uint64_t expired = 0;
            if (read(ticks, &expired, sizeof expired) == sizeof expired) {
                scene_->move();
                draw_tick();
            }
        }
    }
    if (closed_) return 0;
    std::fprintf(stderr, "floor: the compositor went away\n");
    return 1;
}

}  // namespace

int main()
{
    Floor floor;
    if (!floor.connect()) return 1;
    return floor.run();
}
