#include "tests/screen/x11_observer.h"

#include "runtime/screen/x11/reply.h"

#include <xcb/xfixes.h>
#include <xcb/xtest.h>

namespace pellavin::testing {

using screen::Reply;

X11Observer::X11Observer()
{
    if (connected()) {
        Reply<xcb_xfixes_query_version_reply_t>(
            xcb_xfixes_query_version_reply(get(), xcb_xfixes_query_version(get(), 4, 0), nullptr));
    }
}

void X11Observer::sync() { Reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus_reply(get(), xcb_get_input_focus(get()), nullptr)); }

screen::Rect X11Observer::Image::lit_box(const screen::Rect& area) const
{
    int left = area.right(), top = area.bottom(), right = area.x, bottom = area.y;
    for (int y = area.y; y < area.bottom(); ++y) {
        for (int x = area.x; x < area.right(); ++x) {
            if (at(x, y) == screen::Rgb{}) continue;
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x + 1);
            bottom = std::max(bottom, y + 1);
        }
    }
    if (right <= left) return {};
    return {left, top, right - left, bottom - top};
}

// A 24-bit screen, 32 bits a pixel, blue in the low byte, as Xvfb has it.
X11Observer::Image X11Observer::shot(const screen::Rect& area)
{
    Image image;
    Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(get(),
        xcb_get_image(get(), XCB_IMAGE_FORMAT_Z_PIXMAP, root(), static_cast<int16_t>(area.x),
            static_cast<int16_t>(area.y), static_cast<uint16_t>(area.width), static_cast<uint16_t>(area.height),
            ~0u),  // all planes
        nullptr));
    if (!reply) return image;
    image.width = area.width;
    image.height = area.height;
    const uint8_t* data = xcb_get_image_data(reply.get());
    image.pixels.reserve(static_cast<size_t>(area.width) * area.height);
    for (int i = 0; i < area.width * area.height; ++i) {
        const uint8_t* pixel = data + 4 * i;
        image.pixels.push_back({pixel[2], pixel[1], pixel[0]});
    }
    return image;
}

uint8_t X11Observer::keycode_of(uint32_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(get());
    const uint8_t count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
        get(), xcb_get_keyboard_mapping(get(), setup->min_keycode, count), nullptr));
    if (!map) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    for (int key = 0; key < count; ++key) {
        if (syms[key * map->keysyms_per_keycode] == keysym) return static_cast<uint8_t>(setup->min_keycode + key);
    }
    return 0;
}

void X11Observer::key(uint32_t keysym, bool press)
{
    xcb_test_fake_input(get(), press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode_of(keysym), XCB_CURRENT_TIME,
        XCB_WINDOW_NONE, 0, 0, 0);
    sync();
}

void X11Observer::move_pointer(int x, int y)
{
    xcb_test_fake_input(get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root(), static_cast<int16_t>(x),
        static_cast<int16_t>(y), 0);
    sync();
}

void X11Observer::click(int x, int y, uint8_t button)
{
    move_pointer(x, y);
    for (const uint8_t type : {XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE}) {
        xcb_test_fake_input(get(), type, button, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
        sync();
    }
}

bool X11Observer::pointer_shows()
{
    Reply<xcb_xfixes_get_cursor_image_reply_t> cursor(
        xcb_xfixes_get_cursor_image_reply(get(), xcb_xfixes_get_cursor_image(get()), nullptr));
    if (!cursor) return true;
    const uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(cursor.get());
    const int count = xcb_xfixes_get_cursor_image_cursor_image_length(cursor.get());
    for (int i = 0; i < count; ++i) {
        if ((pixels[i] >> 24) != 0) return true;  // any alpha at all
    }
    return false;
}

xcb_atom_t X11Observer::atom(const std::string& name)
{
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        get(), xcb_intern_atom(get(), 1, static_cast<uint16_t>(name.size()), name.c_str()), nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::vector<uint32_t> X11Observer::cardinals(xcb_window_t window, const std::string& property)
{
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        get(), xcb_get_property(get(), 0, window, atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr));
    if (!reply || reply->format != 32) return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<uint32_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

screen::Rect X11Observer::geometry(xcb_window_t window)
{
    Reply<xcb_get_geometry_reply_t> reply(xcb_get_geometry_reply(get(), xcb_get_geometry(get(), window), nullptr));
    if (!reply) return {};
    return {reply->x, reply->y, reply->width, reply->height};
}

bool X11Observer::viewable(xcb_window_t window)
{
    Reply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(get(), xcb_get_window_attributes(get(), window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool X11Observer::take_keyboard()
{
    Reply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(get(),
        xcb_grab_keyboard(get(), 0, root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr));
    return reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
}

void X11Observer::give_keyboard_back()
{
    xcb_ungrab_keyboard(get(), XCB_CURRENT_TIME);
    sync();
}

xcb_window_t X11Observer::focus()
{
    Reply<xcb_get_input_focus_reply_t> reply(xcb_get_input_focus_reply(get(), xcb_get_input_focus(get()), nullptr));
    return reply ? reply->focus : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
}

xcb_window_t X11Observer::show_window(const screen::Rect& area)
{
    const xcb_window_t window = xcb_generate_id(get());
    const uint32_t black_and_unmanaged[] = {0, 1};
    xcb_create_window(get(), XCB_COPY_FROM_PARENT, window, root(), static_cast<int16_t>(area.x),
        static_cast<int16_t>(area.y), static_cast<uint16_t>(area.width), static_cast<uint16_t>(area.height), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT,
        black_and_unmanaged);
    xcb_map_window(get(), window);
    sync();
    return window;
}

xcb_window_t X11Observer::topmost()
{
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(get(), xcb_query_tree(get(), root()), nullptr));
    const int count = tree ? xcb_query_tree_children_length(tree.get()) : 0;
    return count > 0 ? xcb_query_tree_children(tree.get())[count - 1] : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
}

}  // namespace pellavin::testing
