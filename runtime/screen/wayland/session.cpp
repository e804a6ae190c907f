#include "runtime/screen/wayland/session.h"

#include "runtime/screen/tick_clock.h"

#include <sys/epoll.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

// A logical pixel is a pixel of a 96 DPI screen.
constexpr double kTwipsPerLogicalPixel = 15.0;
// A compositor answers a frame at its next repaint, some milliseconds on.
// One it leaves unanswered this long shows nothing to anybody (behind a
// lock, the outputs off): the game rests until the answer comes.
constexpr std::chrono::milliseconds kUnseenAfter{500};
// A still scene asks for a frame this often, to learn the same.
constexpr std::chrono::milliseconds kStillSceneAsks{250};

void watch(int epoll, int fd)
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
}

}  // namespace

WaylandSession::WaylandSession(WaylandConnection& wayland)
    : wayland_(wayland)
    , globals_(wayland)
    , outputs_(wayland)
{
}

WaylandSession::~WaylandSession()
{
    wayland_.on_global_added = nullptr;
    wayland_.on_global_removed = nullptr;
    window_.reset();
    seat_.reset();
    if (epoll_ >= 0) close(epoll_);
}

std::unique_ptr<WaylandSession> WaylandSession::open(
    WaylandConnection& wayland, const std::string& title, std::string& problem)
{
    std::unique_ptr<WaylandSession> session(new WaylandSession(wayland));
    const std::string compositor = "the Wayland compositor \"" + wayland.name() + "\"";
    if (!session->globals_.missing.empty()) {
        problem = compositor + " offers no " + session->globals_.missing;
        return nullptr;
    }
    // The outputs' facts, and the seat's keyboard and pointer with theirs.
    WaylandSession& s = *session;
    s.seat_ = std::make_unique<WaylandSeat>(wayland, WaylandSeat::Input{
        [&s](const wl_surface* surface) { return s.window_ ? s.window_->size_of(surface) : std::nullopt; },
        [&s](KeyDown key) {
            if (s.view_ != nullptr) s.view_->key_down(key);
        },
        [&s] {
            if (s.view_ != nullptr) s.view_->click();
        },
    });
    if (wl_display_roundtrip(wayland.display()) < 0 || wl_display_roundtrip(wayland.display()) < 0) {
        problem = wayland.why_gone();
        return nullptr;
    }
    const Output* first = s.outputs_.first();
    if (first == nullptr || first->geometry().empty()) {
        problem = compositor + " has no output to show on";
        return nullptr;
    }
    s.screen_ = first->geometry();
    s.scale_ = first->scale;
    s.window_ = std::make_unique<WaylandGameWindow>(s.globals_, s.outputs_, title, s.scale_);
    s.window_->on_configure = [&s] { s.configured(); };
    s.window_->on_frame = [&s] { s.shown(); };
    s.window_->on_close = [&s] {
        if (s.view_ != nullptr) s.view_->close();
    };
    s.outputs_.on_change = [&s] { s.window_->follow(); };
    wayland.on_global_added = [&s](const WaylandConnection::Global& global) {
        if (!s.outputs_.added(global)) s.seat_->added(global);
    };
    wayland.on_global_removed = [&s](uint32_t global) {
        if (!s.outputs_.removed(global)) s.seat_->removed(global);
    };
    s.epoll_ = epoll_create1(EPOLL_CLOEXEC);
    watch(s.epoll_, wayland.fd());
    watch(s.epoll_, s.seat_->keyboard().repeat_fd());
    return session;
}

float WaylandSession::width_twips() const { return static_cast<float>(screen_.width * kTwipsPerLogicalPixel); }

float WaylandSession::height_twips() const { return static_cast<float>(screen_.height * kTwipsPerLogicalPixel); }

DevicePixels WaylandSession::pixels() const { return DevicePixels(kTwipsPerLogicalPixel, scale_); }

// The window has its size: all of it is drawn now.
void WaylandSession::configured()
{
    if (view_ != nullptr) view_->expose(window_->device_size());
}

// The compositor has shown the last frame: the next may be drawn.
void WaylandSession::shown()
{
    if (view_ != nullptr) view_->set_seen(true);
}

void WaylandSession::after_events()
{
    if (view_ != nullptr) view_->draw_moved();
}

void WaylandSession::look_for_frames()
{
    if (view_ == nullptr || !view_->seen() || !view_->clock().running()) return;
    const std::chrono::nanoseconds now = monotonic_now();
    if (window_->frame_waited(now) > kUnseenAfter) {
        view_->set_seen(false);
    } else if (window_->ready_to_draw() && window_->since_frame_asked(now) > kStillSceneAsks) {
        window_->ask_for_frame();
    }
}

void WaylandSession::flush()
{
    wl_display_dispatch_pending(wayland_.display());
    after_events();
    look_for_frames();
    wayland_.flush();
}

bool WaylandSession::dispatch()
{
    epoll_event ready[2];
    const int count = epoll_wait(epoll_, ready, 2, 0);
    bool connected = true;
    for (int i = 0; i < count && connected; ++i) {
        if (ready[i].data.fd == wayland_.fd()) connected = wayland_.dispatch();
    }
    for (int i = 0; i < count && connected; ++i) {
        if (ready[i].data.fd == seat_->keyboard().repeat_fd()) seat_->keyboard().repeat_due();
    }
    after_events();
    return connected;
}

}  // namespace pellavin::screen
