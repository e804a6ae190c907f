#pragma once

#include "runtime/screen/geometry.h"
#include "runtime/screen/wayland/globals.h"
#include "runtime/screen/wayland/shm_buffer.h"

#include <functional>
#include <memory>
#include <string>

struct wp_viewport;
struct xdg_surface;
struct xdg_toplevel;

namespace pellavin::screen {

// A window of one colour, full screen on an output: a few pixels that the
// compositor stretches over the whole output, so that its size costs
// nothing. Its surface takes the pointer and the keys.
class FullScreenWindow {
public:
    // `fallback` is the output's size, for a compositor that leaves the
    // size of a full-screen window to the client.
    FullScreenWindow(const WaylandGlobals& globals, const std::string& title, wl_output* output, Rect fallback, Rgb color);
    ~FullScreenWindow();
    FullScreenWindow(const FullScreenWindow&) = delete;
    FullScreenWindow& operator=(const FullScreenWindow&) = delete;

    wl_surface* surface() const { return surface_; }
    // The compositor has said how large it is, and it shows once committed.
    bool configured() const { return configured_; }
    // Its size, logical pixels, at (0, 0).
    Rect size() const { return size_; }
    void set_color(Rgb color);

    // Something waits for a commit: a configure answered, a new colour.
    bool pending() const { return pending_; }
    void commit();

    // Asks the compositor, with the next commit, to say when it next shows
    // the window; one at a time. A pixel of it is drawn again, so that every
    // compositor that shows it answers.
    void ask_for_frame();
    bool frame_asked() const { return frame_ != nullptr; }
    // The compositor has shown the window (or would have, were it not hidden).
    std::function<void()> on_frame;

    // The compositor has configured it, which is answered but not yet committed.
    std::function<void()> on_configure;
    // The user asks to close it.
    std::function<void()> on_close;

    // Called by the listeners.
    void configure_size(int width, int height);
    void configure(uint32_t serial);
    void frame_done();

private:
    const WaylandGlobals& globals_;
    wl_surface* surface_ = nullptr;
    wp_viewport* viewport_ = nullptr;
    xdg_surface* shell_surface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    wl_callback* frame_ = nullptr;
    Rect fallback_;
    Rect offered_;
    Rect size_;
    Rgb color_;
    std::unique_ptr<ShmBuffer> swatch_;
    RetiredBuffers retired_;
    bool configured_ = false;
    bool pending_ = false;
};

}  // namespace pellavin::screen
