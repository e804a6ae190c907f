#include "runtime/screen/x11/x11_session.h"

#include "runtime/screen/x11/reply.h"

#include <xcb/randr.h>

#include <cstdio>
#include <cstdlib>

namespace pellavin::screen {
namespace {

constexpr double kTwipsPerInch = 1440.0;
// The wheel's turns come as presses of buttons 4 to 7: they are no clicks.
constexpr xcb_button_t kFirstWheelButton = 4;
constexpr xcb_button_t kLastWheelButton = 7;

bool inside(const Rect& area, int x, int y) { return x >= area.x && y >= area.y && x < area.right() && y < area.bottom(); }

}  // namespace

X11Session::X11Session(X11Connection& x11, ScreenFacts facts)
    : x11_(x11)
    , facts_(std::move(facts))
    , keyboard_(x11.get())
    , sight_(x11.get(), facts_.root)
{
}

X11Session::~X11Session() = default;

std::unique_ptr<X11Session> X11Session::open(X11Connection& x11, const std::string& title, std::string& problem)
{
    std::unique_ptr<X11Session> session(new X11Session(x11, query_screen(x11, true)));
    if (x11.gone()) {
        problem = "the X server \"" + x11.name() + "\" broke the connection off";
        return nullptr;
    }
    session->game_ = std::make_unique<X11GameWindow>(x11.get(), session->facts_, title);
    if (session->facts_.randr_first_event != 0) {
        // Monitors that come, go or move while the game plays. A monitor
        // set by hand (xrandr --setmonitor) tells RandR's clients nothing,
        // but the root window hears of it.
        xcb_randr_select_input(x11.get(), session->facts_.root,
            XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
        const uint32_t root_events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(x11.get(), session->facts_.root, XCB_CW_EVENT_MASK, &root_events);
    }
    return session;
}

std::unique_ptr<X11Session> X11Session::open_in(X11Connection& x11, xcb_window_t given, std::string& problem)
{
    xcb_connection_t* connection = x11.get();
    const auto geometry_cookie = xcb_get_geometry(connection, given);
    const auto attributes_cookie = xcb_get_window_attributes(connection, given);
    std::unique_ptr<X11Session> session(new X11Session(x11, query_screen(x11, false)));
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection, geometry_cookie, nullptr));
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection, attributes_cookie, nullptr));
    const std::optional<PixelFormat> format = attributes ? pixel_format(connection, attributes->visual) : std::nullopt;
    if (!geometry || !format) {
        char id[32];
        std::snprintf(id, sizeof id, "0x%x", given);
        problem = std::string("the window ") + id + " that XSCREENSAVER_WINDOW names "
            + (geometry ? "is not a true-colour window" : "does not exist");
        return nullptr;
    }
    // Only to learn that the framework resizes its window, covers it or takes it away: no input.
    const uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    xcb_change_window_attributes(connection, given, XCB_CW_EVENT_MASK, &events);
    session->given_ = std::make_unique<X11GivenWindow>(
        connection, given, Rect{0, 0, geometry->width, geometry->height}, *format);
    return session;
}

Rect X11Session::screen_area() const
{
    return given_ ? given_->size() : primary_monitor(facts_.monitors).geometry;
}

float X11Session::width_twips() const { return static_cast<float>(screen_area().width * kTwipsPerInch / facts_.dpi); }

float X11Session::height_twips() const { return static_cast<float>(screen_area().height * kTwipsPerInch / facts_.dpi); }

// The server's pixels are the device pixels; the DPI says how many twips each is.
DevicePixels X11Session::pixels() const { return DevicePixels(kTwipsPerInch / facts_.dpi, 1.0); }

xcb_window_t X11Session::form_window() const { return given_ ? given_->window() : game_->window(); }

Surface& X11Session::surface()
{
    if (given_) return *given_;
    return *game_;
}

void X11Session::pressed(const xcb_button_press_event_t& event)
{
    if (event.detail >= kFirstWheelButton && event.detail <= kLastWheelButton) return;
    pressed_in_ = game_ && game_->owns(event.event) ? event.event : xcb_window_t{XCB_WINDOW_NONE};
}

// A click is a press and a release on one of the game's windows; the
// release goes where the press went, wherever the pointer is by then.
void X11Session::released(const xcb_button_release_event_t& event)
{
    if (event.detail >= kFirstWheelButton && event.detail <= kLastWheelButton) return;
    const xcb_window_t pressed_in = pressed_in_;
    pressed_in_ = XCB_WINDOW_NONE;
    if (pressed_in != event.event || view_ == nullptr) return;
    const std::optional<Rect> area = game_->size_of(event.event);
    if (area && inside(*area, event.event_x, event.event_y)) view_->click();
}

// A screen locker or a saver has come: it has taken the keyboard from the
// game's windows (focus leaves them because of a grab), or covers the game
// with a window of its own. The game gets out of its way.
bool X11Session::another_program_came(const xcb_generic_event_t& event) const
{
    if (!game_) return false;  // a framework's window: the framework itself is the saver
    const uint8_t type = event.response_type & 0x7F;
    if (type == XCB_FOCUS_OUT) {
        const auto& focus = reinterpret_cast<const xcb_focus_out_event_t&>(event);
        return focus.mode == XCB_NOTIFY_MODE_GRAB && game_->owns(focus.event);
    }
    if (type == XCB_VISIBILITY_NOTIFY) {
        const auto& visibility = reinterpret_cast<const xcb_visibility_notify_event_t&>(event);
        return visibility.window == game_->window() && visibility.state == XCB_VISIBILITY_FULLY_OBSCURED
            && game_->covered_by_another_program();
    }
    return false;
}

void X11Session::handle(const xcb_generic_event_t& event)
{
    const uint8_t type = event.response_type & 0x7F;
    if (another_program_came(event)) {
        if (view_ != nullptr) view_->close();
        return;
    }
    if (keyboard_.handle(event) || sight_.handle(event, form_window())) return;
    const bool root_changed
        = type == XCB_CONFIGURE_NOTIFY && reinterpret_cast<const xcb_configure_notify_event_t&>(event).window == facts_.root;
    const uint8_t randr = facts_.randr_first_event;
    const bool monitors_changed = randr != 0
        && (root_changed || type == randr + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == randr + XCB_RANDR_NOTIFY);
    if (monitors_changed) {
        if (root_changed) {
            const auto& root = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            facts_.root_geometry = {0, 0, root.width, root.height};
        }
        if (game_) game_->follow(facts_.monitors = query_monitors(x11_.get(), facts_.root, facts_.root_geometry));
        return;
    }
    switch (type) {
    case XCB_EXPOSE: {
        const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
        exposed_.add(Rect{expose.x, expose.y, expose.width, expose.height});
        if (expose.count > 0 || view_ == nullptr) break;
        view_->expose(exposed_);
        exposed_.clear();
        if (game_ && !first_frame_sent_) game_->first_shown();
        first_frame_sent_ = true;
        break;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto& property = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (game_ && property.window == game_->window()) game_->saw_time(property.time);
        break;
    }
    case XCB_KEY_PRESS: {
        const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(event);
        if (game_ && game_->owns(key.event) && view_ != nullptr) view_->key_down(keyboard_.key_down(key));
        break;
    }
    case XCB_BUTTON_PRESS: pressed(reinterpret_cast<const xcb_button_press_event_t&>(event)); break;
    case XCB_BUTTON_RELEASE: released(reinterpret_cast<const xcb_button_release_event_t&>(event)); break;
    case XCB_CLIENT_MESSAGE: {
        const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (message.type == facts_.atoms.wm_protocols && message.data.data32[0] == facts_.atoms.wm_delete_window
            && view_ != nullptr) {
            view_->close();
        }
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        if (given_ && configure.window == given_->window()) given_->resize(configure.width, configure.height);
        break;
    }
    case XCB_DESTROY_NOTIFY:
        if (given_ && reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window == given_->window()) {
            given_gone_ = true;
        }
        break;
    default: break;
    }
}

void X11Session::handle_queued()
{
    // Replies waited for may have queued events that the descriptor will
    // not show again.
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(x11_.get())) {
        handle(*event);
        std::free(event);
    }
}

void X11Session::after_events()
{
    if (view_ == nullptr) return;
    view_->set_seen(sight_.seen());
    view_->draw_moved();
}

void X11Session::flush()
{
    // The server's own blank costs round trips: it is asked about once the
    // first frame is out, and is known before the loop sleeps.
    if (first_frame_sent_) sight_.start();
    handle_queued();
    after_events();
    xcb_flush(x11_.get());
    // The keymap costs round trips: it is read (and read again when it has
    // changed) before the loop sleeps, once the first frame is out, and
    // what came meanwhile is handled.
    if (game_ && first_frame_sent_ && keyboard_.catch_up()) {
        handle_queued();
        after_events();
        xcb_flush(x11_.get());
    }
}

bool X11Session::dispatch()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(x11_.get())) {
        handle(*event);
        std::free(event);
    }
    after_events();
    return !x11_.gone() && !given_gone_;
}

}  // namespace pellavin::screen
