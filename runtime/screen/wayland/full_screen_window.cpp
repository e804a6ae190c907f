#include "runtime/screen/wayland/full_screen_window.h"

#include "runtime/screen/pixel_canvas.h"

#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <algorithm>

namespace pellavin::screen {
namespace {

// The colour is a small square of it, of which the compositor shows the
// middle stretched over the window: wherever its sums of stretching round
// to, and however it smooths, it meets only the colour, never the
// transparent outside (a single pixel leaves a compositor's last rows
// empty where its step rounds up). Enough of them that a pixel damaged
// costs the compositor a small corner to paint again, not a quarter of the
// output.
constexpr int kSwatch = 64;
constexpr int kSwatchMargin = 1;

FullScreenWindow& window_of(void* data) { return *static_cast<FullScreenWindow*>(data); }

const xdg_surface_listener kSurfaceListener = {
    [](void* data, xdg_surface*, uint32_t serial) { window_of(data).configure(serial); },
};

const xdg_toplevel_listener kToplevelListener = {
    [](void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
        window_of(data).configure_size(width, height);
    },
    [](void* data, xdg_toplevel*) {
        if (window_of(data).on_close) window_of(data).on_close();
    },
    nullptr,  // bounds and capabilities: not at the shell's version 1
    nullptr,
};

const wl_callback_listener kFrameListener = {
    [](void* data, wl_callback*, uint32_t) { window_of(data).frame_done(); },
};

}  // namespace

FullScreenWindow::FullScreenWindow(
    const WaylandGlobals& globals, const std::string& title, wl_output* output, Rect fallback, Rgb color)
    : globals_(globals)
    , surface_(wl_compositor_create_surface(globals.compositor))
    , viewport_(wp_viewporter_get_viewport(globals.viewporter, surface_))
    , shell_surface_(xdg_wm_base_get_xdg_surface(globals.shell, surface_))
    , toplevel_(xdg_surface_get_toplevel(shell_surface_))
    , fallback_{0, 0, fallback.width, fallback.height}
    , color_(color)
{
    const wl_fixed_t margin = wl_fixed_from_int(kSwatchMargin);
    const wl_fixed_t middle = wl_fixed_from_int(kSwatch - 2 * kSwatchMargin);
    wp_viewport_set_source(viewport_, margin, margin, middle, middle);
    xdg_surface_add_listener(shell_surface_, &kSurfaceListener, this);
    xdg_toplevel_add_listener(toplevel_, &kToplevelListener, this);
    xdg_toplevel_set_title(toplevel_, title.c_str());
    xdg_toplevel_set_app_id(toplevel_, title.c_str());
    xdg_toplevel_set_fullscreen(toplevel_, output);
    wl_surface_commit(surface_);  // no buffer yet: the compositor answers with a size
}

FullScreenWindow::~FullScreenWindow()
{
    if (frame_ != nullptr) wl_callback_destroy(frame_);
    xdg_toplevel_destroy(toplevel_);
    xdg_surface_destroy(shell_surface_);
    wp_viewport_destroy(viewport_);
    wl_surface_destroy(surface_);
}

void FullScreenWindow::configure_size(int width, int height) { offered_ = {0, 0, width, height}; }

void FullScreenWindow::configure(uint32_t serial)
{
    xdg_surface_ack_configure(shell_surface_, serial);
    const Rect size = offered_.empty() ? fallback_ : offered_;
    if (size != size_ || !configured_) {
        size_ = size;
        wp_viewport_set_destination(viewport_, size_.width, size_.height);
        wl_region* opaque = wl_compositor_create_region(globals_.compositor);
        wl_region_add(opaque, 0, 0, size_.width, size_.height);
        wl_surface_set_opaque_region(surface_, opaque);
        wl_region_destroy(opaque);
    }
    if (!configured_) {
        configured_ = true;
        set_color(color_);
    }
    pending_ = true;
    if (on_configure) on_configure();
}

void FullScreenWindow::set_color(Rgb color)
{
    if (color == color_ && swatch_) return;
    color_ = color;
    if (!configured_) return;  // attached with the first configure's answer
    auto swatch = ShmBuffer::create(globals_.shm, kSwatch, kSwatch);
    if (!swatch) return;
    std::fill_n(swatch->pixels(), kSwatch * kSwatch, PixelCanvas::opaque(color));
    swatch->attach_to(surface_);
    retired_.drop_released();
    retired_.retire(std::move(swatch_));
    swatch_ = std::move(swatch);
    pending_ = true;
}

void FullScreenWindow::ask_for_frame()
{
    if (frame_ != nullptr) return;
    frame_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frame_, &kFrameListener, this);
    wl_surface_damage(surface_, 0, 0, 1, 1);
}

void FullScreenWindow::frame_done()
{
    wl_callback_destroy(frame_);
    frame_ = nullptr;
    if (on_frame) on_frame();
}

void FullScreenWindow::commit()
{
    wl_surface_commit(surface_);
    pending_ = false;
}

}  // namespace pellavin::screen
