// The floor: the least a program can do to show the game's scene. A
// borderless black window over the whole screen, a 17-pixel white ball and
// two 145 by 17 white paddles, moved at 64 Hz on absolute deadlines; each
// tick erases and redraws only the shapes that moved. Any key, or a click,
// ends it at once. Plain Xlib, no toolkit: whatever the runner spends above
// this is the price of its own machinery.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int64_t kTickNs = 15'625'000;  // 64 Hz
constexpr int kBall = 17;
constexpr int kPaddleWidth = 145;
constexpr int kPaddleHeight = 17;
// The runner's serve moves the ball by 40 to 60 twips a tick: about 3 pixels.
constexpr int kBallStep = 3;

struct Rect {
    int x, y, w, h;
    bool operator==(const Rect&) const = default;
};

int64_t now_ns()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

class Scene {
public:
    Scene(int width, int height)
        : width_(width)
        , height_(height)
    {
        shapes_[kBallIndex] = {104, 224, kBall, kBall};
        follow_ball();
    }

    void move()
    {
        Rect& ball = shapes_[kBallIndex];
        if (ball.x + dx_ < 0 || ball.x + kBall + dx_ > width_) dx_ = -dx_;
        if (ball.y + dy_ < kPaddleHeight || ball.y + kBall + dy_ > height_ - kPaddleHeight) dy_ = -dy_;
        ball.x += dx_;
        ball.y += dy_;
        follow_ball();
    }

    void draw(Display* display, Window window, GC white, GC black, const std::array<Rect, 3>& before) const
    {
        for (size_t i = 0; i < shapes_.size(); ++i) {
            if (shapes_[i] != before[i]) erase(display, window, black, before[i]);
        }
        for (size_t i = 0; i < shapes_.size(); ++i) {
            if (shapes_[i] != before[i]) paint(display, window, white, i);
        }
    }

    void draw_all(Display* display, Window window, GC white) const
    {
        for (size_t i = 0; i < shapes_.size(); ++i) paint(display, window, white, i);
    }

    const std::array<Rect, 3>& shapes() const { return shapes_; }

private:
    static constexpr size_t kBallIndex = 0;
    static constexpr size_t kTopIndex = 1;
    static constexpr size_t kBottomIndex = 2;

    // Both paddles keep their centre under the ball's, as autoplay does.
    void follow_ball()
    {
        const Rect& ball = shapes_[kBallIndex];
        const int left = std::clamp(ball.x + kBall / 2 - kPaddleWidth / 2, 0, width_ - kPaddleWidth);
        shapes_[kTopIndex] = {left, 0, kPaddleWidth, kPaddleHeight};
        shapes_[kBottomIndex] = {left, height_ - kPaddleHeight, kPaddleWidth, kPaddleHeight};
    }

    static void erase(Display* display, Window window, GC black, const Rect& r)
    {
        XFillRectangle(display, window, black, r.x, r.y, static_cast<unsigned>(r.w), static_cast<unsigned>(r.h));
    }

    void paint(Display* display, Window window, GC white, size_t index) const
    {
        const Rect& r = shapes_[index];
        if (index == kBallIndex) {
            constexpr int kFullCircle = 360 * 64;  // in 1/64 of a degree
            XFillArc(display, window, white, r.x, r.y, static_cast<unsigned>(r.w), static_cast<unsigned>(r.h), 0,
                kFullCircle);
        } else {
            XFillRectangle(display, window, white, r.x, r.y, static_cast<unsigned>(r.w), static_cast<unsigned>(r.h));
        }
    }

    int width_;
    int height_;
    int dx_ = -kBallStep;
    int dy_ = -kBallStep;
    std::array<Rect, 3> shapes_{};
};

Cursor invisible_cursor(Display* display, Window window)
{
    const char empty = 0;
    Pixmap bitmap = XCreateBitmapFromData(display, window, &empty, 1, 1);
    XColor black{};
    Cursor cursor = XCreatePixmapCursor(display, bitmap, bitmap, &black, &black, 0, 0);
    XFreePixmap(display, bitmap);
    return cursor;
}

}  // namespace

int main()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "floor: cannot open the display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);

    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask;
    Window window = XCreateWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
        static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask,
        &attributes);
    Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
        reinterpret_cast<unsigned char*>(&fullscreen), 1);
    XDefineCursor(display, window, invisible_cursor(display, window));

    GC white = XCreateGC(display, window, 0, nullptr);
    XSetForeground(display, white, WhitePixel(display, screen));
    GC black = XCreateGC(display, window, 0, nullptr);
    XSetForeground(display, black, BlackPixel(display, screen));

    Scene scene(width, height);
    XMapRaised(display, window);
    XFlush(display);

    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    bool shown = false;
    bool pressed = false;
    int64_t deadline = 0;
    for (;;) {
        // Sleep until the next tick or the server's next word; read the
        // connection only when there is something on it.
        connection.revents = 0;
        if (XEventsQueued(display, QueuedAlready) == 0) {
            const int64_t wait = shown ? std::max<int64_t>(0, deadline - now_ns()) : -1;
            timespec timeout{static_cast<time_t>(wait / 1'000'000'000), static_cast<long>(wait % 1'000'000'000)};
            ppoll(&connection, 1, wait < 0 ? nullptr : &timeout, nullptr);
        }
        if ((connection.revents & POLLIN) != 0 || XEventsQueued(display, QueuedAlready) > 0) {
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                switch (event.type) {
                case Expose:
                    if (event.xexpose.count == 0) scene.draw_all(display, window, white);
                    if (!shown) deadline = now_ns() + kTickNs;
                    shown = true;
                    break;
                case KeyPress: return 0;
                case ButtonPress: pressed = true; break;
                case ButtonRelease:
                    if (pressed) return 0;
                    break;
                default: break;
                }
            }
            XFlush(display);
        }

        const int64_t now = now_ns();
        if (shown && now >= deadline) {
            const std::array<Rect, 3> before = scene.shapes();
            scene.move();
            scene.draw(display, window, white, black, before);
            XFlush(display);
            // Ticks missed while stalled are skipped, never replayed.
            deadline += kTickNs * ((now - deadline) / kTickNs + 1);
        }
    }
}
