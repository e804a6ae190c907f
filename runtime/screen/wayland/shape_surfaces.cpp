#include "runtime/screen/wayland/shape_surfaces.h"

#include "runtime/screen/pixel_canvas.h"
#include "runtime/screen/shape_scene.h"

#include "viewporter-client-protocol.h"

namespace pellavin::screen {
namespace {

// Rounds towards minus infinity, off the window's left edge too.
int floor_div(int value, int divisor) { return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor); }
int ceil_div(int value, int divisor) { return (value + divisor - 1) / divisor; }

}  // namespace

// What a picture of a shape shows.
struct ShapeSurfaces::Look {
    int width = 0;
    int height = 0;
    Rgb fill;
    Rgb border;
    runtime::ShapeKind figure{};
    runtime::FillStyle fill_style{};
    bool operator==(const Look&) const = default;
};

// One surface of a shape. A surface stands on whole logical pixels, so on
// an output scaled s times a shape has s by s of them, the shape drawn into
// each as many device pixels from its corner as the surface's column and
// row: the one that matches the device pixel the shape starts on shows, the
// others wait below the window's own surface, out of sight but on the same
// output, so that neither a move nor a change of surface needs a buffer or
// any word back from the compositor.
struct ShapeSurfaces::Tile {
    struct Placement {
        int x = 0;       // logical pixels in the window
        int y = 0;
        Rect source;     // device pixels of the buffer; empty: all of it
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
    Look look;
    std::unique_ptr<ShmBuffer> buffer;
    Placement placement;
    bool placed = false;
};

struct ShapeSurfaces::Sprite {
    std::vector<std::unique_ptr<Tile>> tiles;
    Tile* shown = nullptr;
};

ShapeSurfaces::ShapeSurfaces(const WaylandGlobals& globals, wl_surface* parent, int scale)
    : globals_(globals)
    , parent_(parent)
    , scale_(scale)
{
}

ShapeSurfaces::~ShapeSurfaces() = default;

ShapeSurfaces::Sprite& ShapeSurfaces::sprite_for(size_t index)
{
    // Made in the shapes' order, each above the last, as they are drawn.
    while (sprites_.size() <= index) {
        auto sprite = std::make_unique<Sprite>();
        for (int i = 0; i < scale_ * scale_; ++i) {
            auto tile = std::make_unique<Tile>();
            tile->surface = wl_compositor_create_surface(globals_.compositor);
            tile->subsurface = wl_subcompositor_get_subsurface(globals_.subcompositor, tile->surface, parent_);
            tile->viewport = wp_viewporter_get_viewport(globals_.viewporter, tile->surface);
            wl_region* nowhere = wl_compositor_create_region(globals_.compositor);
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

// The shape drawn `lead` device pixels from the corner of a buffer of
// whole logical pixels, attached to the tile.
bool ShapeSurfaces::show(
    Tile& tile, const Look& look, int lead_x, int lead_y, const ShapeScene& scene, size_t index, Rgb window_color)
{
    auto buffer = ShmBuffer::create(globals_.shm, ceil_div(lead_x + look.width, scale_) * scale_,
        ceil_div(lead_y + look.height, scale_) * scale_);
    if (!buffer) return false;
    PixelCanvas canvas(buffer->pixels(), buffer->width(), buffer->height());
    draw_shape(canvas, *scene.shapes()[index], {lead_x, lead_y, look.width, look.height}, window_color);
    buffer->attach_to(tile.surface);
    retired_.retire(std::move(tile.buffer));
    tile.buffer = std::move(buffer);
    tile.look = look;
    return true;
}

// Brings one shape's surfaces to the scene; returns whether they changed.
// Their changes wait for the window's next commit.
bool ShapeSurfaces::place(
    Sprite& sprite, wl_surface* below, const ShapeScene& scene, size_t index, const Rect& window, Rgb window_color)
{
    const runtime::Shape& shape = *scene.shapes()[index];
    const Rect rect = scene.place_of(shape);
    const Rect visible = rect.intersected(window);
    Tile* tile = nullptr;
    int lead_x = 0;
    int lead_y = 0;
    if (!visible.empty()) {
        lead_x = rect.x - floor_div(rect.x, scale_) * scale_;
        lead_y = rect.y - floor_div(rect.y, scale_) * scale_;
        tile = sprite.tiles[static_cast<size_t>(lead_y * scale_ + lead_x)].get();
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

    const Look look{rect.width, rect.height, rgb_of(shape.FillColor(), window_color),
        rgb_of(shape.BorderColor(), window_color), shape.figure(), shape.fill_style()};
    bool tile_changed = false;
    if (!tile->buffer || !(look == tile->look)) {
        if (!show(*tile, look, lead_x, lead_y, scene, index, window_color)) return changed;
        tile_changed = true;
    }

    // The surface stands on the logical pixel at or before the shape's first
    // device pixel. A shape partly off the window shows only its part in it,
    // cropped on whole logical pixels.
    Tile::Placement placement{floor_div(visible.x, scale_), floor_div(visible.y, scale_), Rect()};
    if (visible != rect) {
        const int visible_lead_x = visible.x - placement.x * scale_;
        const int visible_lead_y = visible.y - placement.y * scale_;
        placement.source = {lead_x + (visible.x - rect.x) - visible_lead_x, lead_y + (visible.y - rect.y) - visible_lead_y,
            ceil_div(visible_lead_x + visible.width, scale_) * scale_,
            ceil_div(visible_lead_y + visible.height, scale_) * scale_};
    }
    if (!(placement == tile->placement) || !tile->placed) {
        const Rect& source = placement.source;
        if (source.empty()) {
            const wl_fixed_t unset = wl_fixed_from_int(-1);
            wp_viewport_set_source(tile->viewport, unset, unset, unset, unset);
            wp_viewport_set_destination(tile->viewport, -1, -1);
        } else {
            wp_viewport_set_source(tile->viewport, wl_fixed_from_int(source.x / scale_),
                wl_fixed_from_int(source.y / scale_), wl_fixed_from_int(source.width / scale_),
                wl_fixed_from_int(source.height / scale_));
            wp_viewport_set_destination(tile->viewport, source.width / scale_, source.height / scale_);
        }
        wl_subsurface_set_position(tile->subsurface, placement.x, placement.y);
        tile->placement = placement;
        tile_changed = true;
    }
    if (tile_changed) wl_surface_commit(tile->surface);
    tile->placed = true;
    return changed || tile_changed;
}

bool ShapeSurfaces::place(const ShapeScene& scene, const Rect& window, Rgb window_color)
{
    retired_.drop_released();
    bool changed = false;
    wl_surface* below = parent_;
    for (size_t i = 0; i < scene.shapes().size(); ++i) {
        Sprite& sprite = sprite_for(i);
        changed |= place(sprite, below, scene, i, window, window_color);
        if (sprite.shown != nullptr) below = sprite.shown->surface;
    }
    return changed;
}

}  // namespace pellavin::screen
