#include "runtime/screen/x11/x11_game_window.h"

#include "runtime/screen/shape_scene.h"
#include "runtime/screen/x11/window_properties.h"

#include <xcb/xcbext.h>

#include <cstdlib>

namespace pellavin::screen {
namespace {

// Visibility and structure: the game rests while nobody can see it.
constexpr uint32_t kWindowEvents = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_BUTTON_PRESS
    | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_VISIBILITY_CHANGE
    | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

}  // namespace

X11GameWindow::X11GameWindow(xcb_connection_t* connection, const ScreenFacts& facts, std::string title)
    : connection_(connection)
    , facts_(facts)
    , title_(std::move(title))
    , monitor_(primary_monitor(facts.monitors))
    , cursor_(create_invisible_cursor(connection, facts.root))
    , covers_(connection, facts, title_, cursor_)
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

// A form's place is measured from the primary monitor's corner.
bool X11GameWindow::show(const Rect& size)
{
    if (window_ == XCB_WINDOW_NONE) {
        const Rect geometry{monitor_.geometry.x + size.x, monitor_.geometry.y + size.y, size.width, size.height};
        window_ = create_full_screen_window(connection_, facts_, geometry, title_, background_, kWindowEvents, cursor_);
        canvas_.emplace(connection_, window_, facts_.root_format);
    }
    shown_ = true;
    size_ = {0, 0, size.width, size.height};
    covers_.follow(facts_.monitors, monitor_);
    // A monitor may overlap the game's (a mirrored one): the game stays above.
    xcb_map_window(connection_, window_);
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    return false;  // drawn when the server says it is exposed
}

void X11GameWindow::hide()
{
    shown_ = false;
    if (keyboard_ != Keyboard::Free) xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
    keyboard_ = Keyboard::Free;
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
    if (!shown_) return;
    covers_.follow(monitors, monitor_);
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
}

// The answer is read later, so that asking costs no wait: the first key
// must reach the game, whatever focus a window manager gives it.
void X11GameWindow::take_keyboard()
{
    if (!shown_ || keyboard_ != Keyboard::Free) return;
    grab_ = xcb_grab_keyboard(connection_, 0, window_, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    keyboard_ = Keyboard::Asked;
}

void X11GameWindow::check_keyboard()
{
    if (keyboard_ != Keyboard::Asked) return;
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    if (xcb_poll_for_reply(connection_, grab_.sequence, &reply, &error) == 0) return;
    const auto* grab = static_cast<xcb_grab_keyboard_reply_t*>(reply);
    // Refused (another client holds it a moment): asked again at the next focus or exposure.
    keyboard_ = grab != nullptr && grab->status == XCB_GRAB_STATUS_SUCCESS ? Keyboard::Taken : Keyboard::Free;
    std::free(reply);
    std::free(error);
}

}  // namespace pellavin::screen
