#include "runtime/screen/x11/x11_game_window.h"

#include "runtime/screen/shape_scene.h"
#include "runtime/screen/x11/reply.h"
#include "runtime/screen/x11/window_properties.h"

#include <array>
#include <set>
#include <utility>

namespace pellavin::screen {
namespace {

// Visibility and structure: the game rests while nobody can see it.
// Property changes bring the server's time, which the focus is asked with.
constexpr uint32_t kWindowEvents = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_BUTTON_PRESS
    | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_VISIBILITY_CHANGE
    | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;

}  // namespace

X11GameWindow::X11GameWindow(xcb_connection_t* connection, const ScreenFacts& facts, std::string title)
    : connection_(connection)
    , facts_(facts)
    , title_(std::move(title))
    , monitor_(primary_monitor(facts.monitors))
    , cursor_(create_invisible_cursor(connection, facts.root))
    , covers_(connection, facts, title_, cursor_)
    , focus_(connection, facts)
{
}

X11GameWindow::~X11GameWindow()
{
    covers_.clear();
    canvas_.reset();
    if (window_ != XCB_WINDOW_NONE) xcb_destroy_window(connection_, window_);
    xcb_free_cursor(connection_, cursor_);
    xcb_flush(connection_);
}

void X11GameWindow::set_background(Rgb color)
{
    background_ = facts_.root_format.pixel(color);
    if (window_ != XCB_WINDOW_NONE) xcb_change_window_attributes(connection_, window_, XCB_CW_BACK_PIXEL, &background_);
}

// A form's place is measured from the primary monitor's corner. The game
// is never raised over what is already there: a screen locker that has come
// stays on top. Made after the covers, it stands above them.
bool X11GameWindow::show(const Rect& size)
{
    shown_ = true;
    size_ = {0, 0, size.width, size.height};
    const bool cover_over_game = covers_.follow(facts_.monitors, monitor_);
    if (window_ == XCB_WINDOW_NONE) {
        const Rect geometry{monitor_.geometry.x + size.x, monitor_.geometry.y + size.y, size.width, size.height};
        window_ = create_full_screen_window(connection_, facts_, geometry, title_, background_, kWindowEvents, cursor_);
        canvas_.emplace(connection_, window_, facts_.root_format);
        focus_.ask_time(window_);
    } else if (cover_over_game) {
        raise_over_covers();
    }
    xcb_map_window(connection_, window_);
    return false;  // drawn when the server says it is exposed
}

void X11GameWindow::hide()
{
    shown_ = false;
    covers_.clear();
    if (window_ != XCB_WINDOW_NONE) xcb_unmap_window(connection_, window_);
    xcb_flush(connection_);
}

void X11GameWindow::redraw(const ShapeScene& scene, const Region& device_region)
{
    if (canvas_) canvas_->redraw(scene, device_region, kSystemFaceColor);
}

std::optional<Rect> X11GameWindow::size_of(xcb_window_t window) const
{
    if (window == XCB_WINDOW_NONE) return std::nullopt;
    if (window == window_) return size_;
    return covers_.size_of(window);
}

void X11GameWindow::follow(const std::vector<Monitor>& monitors)
{
    if (shown_ && covers_.follow(monitors, monitor_)) raise_over_covers();
}

// A monitor that overlaps the game's (a mirrored one) gets a cover above
// the game: the game goes back over its own cover, and only there.
void X11GameWindow::raise_over_covers()
{
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
}

void X11GameWindow::first_shown() { focus_.ask_for(window_); }

// The game's window is the root's child itself, or inside a frame that a
// window manager made. The window on top at each corner of the game's
// monitor and at its middle is the one that shows there: one window of
// another program at all five covers it whole. Neither the game's own
// windows nor the server's (its screen saver's) are another program's.
bool X11GameWindow::covered_by_another_program() const
{
    xcb_window_t top = window_;
    for (;;) {
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, top), nullptr));
        if (!tree) return false;
        if (tree->parent == facts_.root || tree->parent == XCB_WINDOW_NONE) break;
        top = tree->parent;
    }
    const Rect& m = monitor_.geometry;
    const std::array<std::pair<int, int>, 5> points
        = {{{m.x, m.y}, {m.right() - 1, m.y}, {m.x, m.bottom() - 1}, {m.right() - 1, m.bottom() - 1},
            {m.x + m.width / 2, m.y + m.height / 2}}};
    std::array<xcb_translate_coordinates_cookie_t, points.size()> asked{};
    for (size_t i = 0; i < points.size(); ++i) {
        asked[i] = xcb_translate_coordinates(connection_, facts_.root, facts_.root,
            static_cast<int16_t>(points[i].first), static_cast<int16_t>(points[i].second));
    }
    std::set<xcb_window_t> shown;
    for (const auto& cookie : asked) {
        Reply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(connection_, cookie, nullptr));
        shown.insert(at ? at->child : static_cast<xcb_window_t>(XCB_WINDOW_NONE));
    }
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const xcb_window_t over = *shown.begin();
    const uint32_t client = over & ~setup->resource_id_mask;
    return shown.size() == 1 && over != top && over != XCB_WINDOW_NONE && client != setup->resource_id_base
        && client != 0;
}

}  // namespace pellavin::screen
