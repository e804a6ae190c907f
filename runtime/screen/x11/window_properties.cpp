#include "runtime/screen/x11/window_properties.h"

#include <array>
#include <unistd.h>

namespace pellavin::screen {
namespace {

// The window manager hints that Motif defined and every X window manager reads.
constexpr uint32_t kMotifHintDecorations = 1u << 1;
// ICCCM's WM_HINTS and WM_NORMAL_HINTS.
constexpr uint32_t kHintInput = 1u << 0;
constexpr uint32_t kHintState = 1u << 1;
constexpr uint32_t kNormalState = 1;
constexpr uint32_t kUserPosition = 1u << 0;
constexpr uint32_t kUserSize = 1u << 1;
constexpr size_t kHostNameLength = 256;

void set_property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name, xcb_atom_t type, uint8_t format,
    uint32_t count, const void* data)
{
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, name, type, format, count, data);
}

void set_text(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name, xcb_atom_t type, const std::string& text)
{
    set_property(connection, window, name, type, 8, static_cast<uint32_t>(text.size()), text.data());
}

}  // namespace

xcb_window_t create_full_screen_window(xcb_connection_t* connection, const ScreenFacts& facts, const Rect& geometry,
    const std::string& title, uint32_t background_pixel, uint32_t event_mask, xcb_cursor_t cursor)
{
    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t values[] = {background_pixel, event_mask, cursor};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, facts.root, static_cast<int16_t>(geometry.x),
        static_cast<int16_t>(geometry.y), static_cast<uint16_t>(geometry.width), static_cast<uint16_t>(geometry.height),
        0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_CURSOR,
        values);

    const X11Atoms& atoms = facts.atoms;
    set_text(connection, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title);
    set_text(connection, window, atoms.net_wm_name, atoms.utf8_string, title);
    // Instance and class, each ended by a NUL: tools find the game by them.
    const std::string wm_class = title + '\0' + title + '\0';
    set_text(connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wm_class);
    std::array<char, kHostNameLength> host{};
    if (gethostname(host.data(), host.size() - 1) == 0) {
        set_text(connection, window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, host.data());
    }
    const uint32_t pid = static_cast<uint32_t>(getpid());
    set_property(connection, window, atoms.net_wm_pid, XCB_ATOM_CARDINAL, 32, 1, &pid);
    set_property(connection, window, atoms.wm_protocols, XCB_ATOM_ATOM, 32, 1, &atoms.wm_delete_window);
    const std::array<uint32_t, 9> hints = {kHintInput | kHintState, 1, kNormalState, 0, 0, 0, 0, 0, 0};
    set_property(connection, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, hints.size(), hints.data());
    std::array<uint32_t, 18> size_hints{};
    size_hints[0] = kUserPosition | kUserSize;
    size_hints[1] = static_cast<uint32_t>(geometry.x);
    size_hints[2] = static_cast<uint32_t>(geometry.y);
    size_hints[3] = static_cast<uint32_t>(geometry.width);
    size_hints[4] = static_cast<uint32_t>(geometry.height);
    set_property(connection, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, size_hints.size(),
        size_hints.data());
    set_property(connection, window, atoms.net_wm_state, XCB_ATOM_ATOM, 32, 1, &atoms.net_wm_state_fullscreen);
    const std::array<uint32_t, 5> motif = {kMotifHintDecorations, 0, 0, 0, 0};
    set_property(connection, window, atoms.motif_wm_hints, atoms.motif_wm_hints, 32, motif.size(), motif.data());
    return window;
}

xcb_cursor_t create_invisible_cursor(xcb_connection_t* connection, xcb_window_t root)
{
    // A 1 by 1 bitmap whose one pixel is cleared: no source, no mask.
    const xcb_pixmap_t bitmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, 1, bitmap, root, 1, 1);
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    const uint32_t zero = 0;
    xcb_create_gc(connection, gc, bitmap, XCB_GC_FOREGROUND, &zero);
    const xcb_rectangle_t pixel = {0, 0, 1, 1};
    xcb_poly_fill_rectangle(connection, bitmap, gc, 1, &pixel);
    xcb_free_gc(connection, gc);
    const xcb_cursor_t cursor = xcb_generate_id(connection);
    xcb_create_cursor(connection, cursor, bitmap, bitmap, 0, 0, 0, 0, 0, 0, 0, 0);
    xcb_free_pixmap(connection, bitmap);
    return cursor;
}

}  // namespace pellavin::screen
