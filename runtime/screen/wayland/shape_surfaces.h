#pragma once

#include "runtime/screen/geometry.h"
#include "runtime/screen/wayland/globals.h"
#include "runtime/screen/wayland/shm_buffer.h"

#include <memory>
#include <vector>

namespace pellavin::screen {

class ShapeScene;

// Where a shape's surface stands, on an output of `scale` device pixels a
// logical one. A surface stands on whole logical pixels, so a shape has
// scale x scale surfaces (tiles), each with the shape drawn as many device
// pixels from its buffer's corner as its column and row (its lead): the
// one that matches the device pixel the shape starts on shows it.
struct TilePlacement {
    int tile = -1;  // the one that shows; -1: none, the shape is off the window
    int lead_x = 0;
    int lead_y = 0;
    Rect buffer;    // the tile's buffer, device pixels, at (0, 0)
    int x = 0;      // logical pixels in the window
    int y = 0;
    Rect source;    // the device pixels of the buffer that show; empty: all of it
    bool operator==(const TilePlacement&) const = default;
};

// A shape at `shape` in a window `window` large, both in device pixels.
// A shape partly off the window shows only its part in it.
TilePlacement place_tile(const Rect& shape, const Rect& window, int scale);

// A window's shapes as surfaces of their own above it, with small buffers
// drawn once and moved by the compositor: a frame is a few positions sent
// in one message, whatever the output's size, and a buffer is drawn again
// only when its shape changes colour or size. The surfaces are the
// window's synchronised children, so every frame shows whole, with the
// window's own next commit; input passes through them to the window.
class ShapeSurfaces {
public:
    // Above `parent`, on an output of `scale` device pixels a logical one.
    ShapeSurfaces(const WaylandGlobals& globals, wl_surface* parent, int scale);
    ~ShapeSurfaces();
    ShapeSurfaces(const ShapeSurfaces&) = delete;
    ShapeSurfaces& operator=(const ShapeSurfaces&) = delete;

    // Brings the surfaces to the scene, in a window `window` device pixels
    // large; returns whether they changed, and the parent is to be committed.
    bool place(const ShapeScene& scene, const Rect& window, Rgb window_color);

private:
    struct Look;
    struct Tile;
    struct Sprite;

    Sprite& sprite_for(size_t index);
    bool place(Sprite& sprite, wl_surface* below, const ShapeScene& scene, size_t index, const Rect& window,
        Rgb window_color);
    bool show(Tile& tile, const Look& look, const TilePlacement& placement, const ShapeScene& scene, size_t index,
        Rgb window_color);

    const WaylandGlobals& globals_;
    wl_surface* parent_;
    int scale_;
    std::vector<std::unique_ptr<Sprite>> sprites_;
    RetiredBuffers retired_;
};

}  // namespace pellavin::screen
