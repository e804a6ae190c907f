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

TilePlacement place_tile(const Rect& shape, const Rect& window, int scale)
{
    const Rect visible = shape.intersected(window);
    TilePlacement placed;
    if (visible.empty()) return placed;
    placed.lead_x = shape.x - floor_div(shape.x, scale) * scale;
    placed.lead_y = shape.y - floor_div(shape.y, scale) * scale;
    placed.tile = placed.lead_y * scale + placed.lead_x;
    placed.buffer = {0, 0, ceil_div(placed.lead_x + shape.width, scale) * scale,
        ceil_div(placed.lead_y + shape.height, scale) * scale};
    // The surface stands on the logical pixel at or before the first
    // device pixel that shows; a part off the window is cropped away, on
    // whole logical pixels.
    placed.x = floor_div(visible.x, scale);
    placed.y = floor_div(visible.y, scale);
    if (visible != shape) {
        const int visible_lead_x = visible.x - placed.x * scale;
        const int visible_lead_y = visible.y - placed.y * scale;
        placed.source = {placed.lead_x + (visible.x - shape.x) - visible_lead_x,
            placed.lead_y + (visible.y - shape.y) - visible_lead_y,
            ceil_div(visible_lead_x + visible.width, scale) * scale,
            ceil_div(visible_lead_y + visible.height, scale) * scale};
    }
    return placed;
}

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

// One surface of a shape (see TilePlacement). Those that do not show wait
// below the window's own surface, out of sight but on the same output, so
// that neither a move nor a change of surface needs a buffer or any word
// back from the compositor.
struct ShapeSurfaces::Tile {
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
    TilePlacement placement;  // none yet: sent with the first
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

// The shape drawn into a buffer of the tile's, attached to it.
bool ShapeSurfaces::show(Tile& tile, const Look& look, const TilePlacement& placement, const ShapeScene& scene,
    size_t index, Rgb window_color)
{
    auto buffer = ShmBuffer::create(globals_.shm, placement.buffer.width, placement.buffer.height);
    if (!buffer) return false;
    PixelCanvas canvas(buffer->pixels(), buffer->width(), buffer->height());
    draw_shape(canvas, *scene.shapes()[index], {placement.lead_x, placement.lead_y, look.width, look.height},
        window_color);
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
    const TilePlacement placement = place_tile(rect, window, scale_);
    Tile* tile = placement.tile >= 0 ? sprite.tiles[static_cast<size_t>(placement.tile)].get() : nullptr;
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
        if (!show(*tile, look, placement, scene, index, window_color)) return changed;
        tile_changed = true;
    }
    if (!(placement == tile->placement)) {
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
