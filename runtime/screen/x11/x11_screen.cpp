#include "runtime/screen/x11/x11_screen.h"

#include "runtime/screen/x11/connection.h"
#include "runtime/screen/x11/reply.h"

#include <xcb/randr.h>

#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace pellavin::screen {
namespace {

constexpr double kDefaultDpi = 96.0;
constexpr uint32_t kResourcesLength = 1 << 16;  // in 32-bit units: the whole database
constexpr uint32_t kRandrMajor = 1;
constexpr uint32_t kRandrMinor = 5;  // monitors
constexpr std::string_view kDpiResource = "Xft.dpi:";

constexpr std::array<const char*, 11> kAtomNames = {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_STATE",
    "_NET_WM_STATE_FULLSCREEN", "_MOTIF_WM_HINTS", "_NET_WM_PID", "_NET_WM_NAME", "UTF8_STRING", "_NET_ACTIVE_WINDOW",
    "_NET_WM_USER_TIME", "_PELLAVIN_TIMESTAMP"};

X11Atoms atoms_of(const std::array<xcb_atom_t, kAtomNames.size()>& values)
{
    return {values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7], values[8],
        values[9], values[10]};
}

std::vector<Monitor> monitors_of(xcb_randr_get_monitors_reply_t* reply)
{
    std::vector<Monitor> monitors;
    if (reply == nullptr) return monitors;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply); it.rem; xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t& info = *it.data;
        monitors.push_back({info.name, {info.x, info.y, info.width, info.height}, info.primary != 0});
    }
    return monitors;
}

std::vector<Monitor> or_whole_screen(std::vector<Monitor> monitors, const Rect& root_geometry)
{
    if (monitors.empty()) monitors.push_back({XCB_ATOM_NONE, root_geometry, true});
    return monitors;
}

}  // namespace

std::optional<int> xft_dpi(std::string_view resources)
{
    std::optional<int> dpi;
    while (!resources.empty()) {
        const size_t end = resources.find('\n');
        std::string_view line = resources.substr(0, end);
        resources = end == std::string_view::npos ? std::string_view() : resources.substr(end + 1);
        if (!line.starts_with(kDpiResource)) continue;
        line.remove_prefix(kDpiResource.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        int value = 0;
        const auto [at, error] = std::from_chars(line.data(), line.data() + line.size(), value);
        if (error == std::errc{} && at == line.data() + line.size() && value > 0) dpi = value;
    }
    return dpi;
}

std::optional<PixelFormat> pixel_format(xcb_connection_t* connection, xcb_visualid_t visual)
{
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem; xcb_screen_next(&screens)) {
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem; xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
                const xcb_visualtype_t* type = visuals.data;
                if (type->visual_id == visual && type->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
                    return PixelFormat{type->red_mask, type->green_mask, type->blue_mask};
                }
            }
        }
    }
    return std::nullopt;
}

ScreenFacts query_screen(const X11Connection& x11, bool with_monitors)
{
    xcb_connection_t* connection = x11.get();
    const xcb_screen_t* screen = x11.screen();
    ScreenFacts facts;
    facts.root = screen->root;
    facts.root_geometry = {0, 0, screen->width_in_pixels, screen->height_in_pixels};
    facts.root_format = pixel_format(connection, screen->root_visual).value_or(PixelFormat{0xFF0000, 0xFF00, 0xFF});

    // Everything asked for at once; the answers come back together.
    if (with_monitors) xcb_prefetch_extension_data(connection, &xcb_randr_id);
    const auto resources = xcb_get_property(connection, 0, facts.root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0,
        kResourcesLength);
    std::array<xcb_intern_atom_cookie_t, kAtomNames.size()> atom_cookies{};
    for (size_t i = 0; i < kAtomNames.size(); ++i) {
        atom_cookies[i] = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(kAtomNames[i])), kAtomNames[i]);
    }
    if (with_monitors) {
        const xcb_query_extension_reply_t* randr = xcb_get_extension_data(connection, &xcb_randr_id);
        if (randr != nullptr && randr->present) {
            facts.randr_first_event = randr->first_event;
            // Its answer is not needed: any server with monitors has them at 1.5.
            xcb_discard_reply(connection, xcb_randr_query_version(connection, kRandrMajor, kRandrMinor).sequence);
            facts.monitors = monitors_of(Reply<xcb_randr_get_monitors_reply_t>(
                xcb_randr_get_monitors_reply(connection, xcb_randr_get_monitors(connection, facts.root, 1), nullptr))
                                             .get());
        }
    }
    facts.monitors = or_whole_screen(std::move(facts.monitors), facts.root_geometry);

    Reply<xcb_get_property_reply_t> database(xcb_get_property_reply(connection, resources, nullptr));
    facts.dpi = kDefaultDpi;
    if (database) {
        const std::string_view text(static_cast<const char*>(xcb_get_property_value(database.get())),
            static_cast<size_t>(xcb_get_property_value_length(database.get())));
        if (const std::optional<int> dpi = xft_dpi(text)) facts.dpi = *dpi;
    }
    std::array<xcb_atom_t, kAtomNames.size()> atoms{};
    for (size_t i = 0; i < kAtomNames.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, atom_cookies[i], nullptr));
        atoms[i] = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    }
    facts.atoms = atoms_of(atoms);
    return facts;
}

std::vector<Monitor> query_monitors(xcb_connection_t* connection, xcb_window_t root, const Rect& root_geometry)
{
    Reply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(connection, xcb_randr_get_monitors(connection, root, 1), nullptr));
    return or_whole_screen(monitors_of(reply.get()), root_geometry);
}

Monitor primary_monitor(const std::vector<Monitor>& monitors)
{
    for (const Monitor& monitor : monitors) {
        if (monitor.primary) return monitor;
    }
    return monitors.front();
}

}  // namespace pellavin::screen
