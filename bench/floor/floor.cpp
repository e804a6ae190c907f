// The floor: the least a program can do to show the game's scene. A
// borderless black window over the whole screen, a 17-pixel white ball and
// two 145 by 17 white paddles, moved at 64 Hz on absolute deadlines; each
// tick erases and redraws only the shapes that moved. Any key, or a click,
// ends it at once. Plain Xlib, no toolkit: whatever the runner spends above
// this is the price of its own machinery.
#include "floor/scene.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

using pellavin::bench::kTickNs;
using pellavin::bench::Rect;
using pellavin::bench::Scene;

int64_t now_ns()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

void paint(Display* display, Window window, GC white, const Scene::Shapes& shapes, size_t index)
{
    const Rect& r = shapes[index];
    if (index == Scene::kBallIndex) {
        constexpr int kFullCircle = 360 * 64;  // in 1/64 of a degree
        XFillArc(display, window, white, r.x, r.y, static_cast<unsigned>(r.w), static_cast<unsigned>(r.h), 0,
            kFullCircle);
    } else {
        XFillRectangle(display, window, white, r.x, r.y, static_cast<unsigned>(r.w), static_cast<unsigned>(r.h));
    }
}

void draw_all(Display* display, Window window, GC white, const Scene::Shapes& shapes)
{
    for (size_t i = 0; i < shapes.size(); ++i) paint(display, window, white, shapes, i);
}

// Erases and redraws only the shapes that moved since `before`.
void draw_moved(Display* display, Window window, GC white, GC black, const Scene::Shapes& before,
    const Scene::Shapes& now)
{
    for (size_t i = 0; i < now.size(); ++i) {
        const Rect& r = before[i];
        if (now[i] != r) {
            XFillRectangle(display, window, black, r.x, r.y, static_cast<unsigned>(r.w), static_cast<unsigned>(r.h));
        }
    }
    for (size_t i = 0; i < now.size(); ++i) {
        if (now[i] != before[i]) paint(display, window, white, now, i);
    }
}

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
                    if (event.xexpose.count == 0) draw_all(display, window, white, scene.shapes());
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
            const Scene::Shapes before = scene.shapes();
            scene.move();
            draw_moved(display, window, white, black, before, scene.shapes());
            XFlush(display);
            // Ticks missed while stalled are skipped, never replayed.
            deadline += kTickNs * ((now - deadline) / kTickNs + 1);
        }
    }
}
