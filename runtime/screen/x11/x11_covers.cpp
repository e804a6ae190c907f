#include "runtime/screen/x11/x11_covers.h"

#include "runtime/screen/x11/window_properties.h"

namespace pellavin::screen {
namespace {

constexpr uint32_t kCoverEvents = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE
    | XCB_EVENT_MASK_FOCUS_CHANGE;

bool overlap(const Rect& a, const Rect& b)
{
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

}  // namespace

X11Covers::X11Covers(xcb_connection_t* connection, const ScreenFacts& facts, std::string title, xcb_cursor_t cursor)
    : connection_(connection)
    , facts_(facts)
    , title_(std::move(title))
    , cursor_(cursor)
{
}

X11Covers::~X11Covers() { clear(); }

bool X11Covers::follow(const std::vector<Monitor>& monitors, const Monitor& game)
{
    std::map<xcb_atom_t, Cover> kept;
    bool over_game = false;
    for (const Monitor& monitor : monitors) {
        if (monitor.name == game.name) continue;
        auto it = covers_.find(monitor.name);
        if (it != covers_.end() && it->second.geometry == monitor.geometry) {
            kept.insert(covers_.extract(it));
            continue;
        }
        const Rect& g = monitor.geometry;
        const xcb_window_t window = create_full_screen_window(
            connection_, facts_, g, title_, facts_.root_format.pixel({0, 0, 0}), kCoverEvents, cursor_);
        xcb_map_window(connection_, window);
        kept[monitor.name] = {window, g};
        over_game = over_game || overlap(g, game.geometry);
    }
    clear();
    covers_ = std::move(kept);
    return over_game;
}

void X11Covers::clear()
{
    for (const auto& [name, cover] : covers_) xcb_destroy_window(connection_, cover.window);
    covers_.clear();
}

std::optional<Rect> X11Covers::size_of(xcb_window_t window) const
{
    for (const auto& [name, cover] : covers_) {
        if (cover.window == window) return Rect{0, 0, cover.geometry.width, cover.geometry.height};
    }
    return std::nullopt;
}

}  // namespace pellavin::screen
