#include "screen_watch.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace pellavin::bench {
namespace {

constexpr unsigned long kRgbMask = 0xFFFFFF;

}  // namespace

double now_ms()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

ScreenWatch::ScreenWatch(Display* display)
    : display_(display)
{
    int error_base = 0;
    if (!XDamageQueryExtension(display_, &damage_event_, &error_base)) {
        throw std::runtime_error("the X server has no DAMAGE extension");
    }
    if (!XShmQueryExtension(display_)) throw std::runtime_error("the X server offers no shared memory (MIT-SHM)");
    const Window root = DefaultRootWindow(display_);
    const int screen = DefaultScreen(display_);

    screen_ = XShmCreateImage(display_, DefaultVisual(display_, screen),
        static_cast<unsigned>(DefaultDepth(display_, screen)), ZPixmap, nullptr, &shared_,
        static_cast<unsigned>(DisplayWidth(display_, screen)), static_cast<unsigned>(DisplayHeight(display_, screen)));
    const size_t bytes = static_cast<size_t>(screen_->bytes_per_line) * static_cast<size_t>(screen_->height);
    shared_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shared_.shmid < 0) throw std::runtime_error("cannot create a shared memory segment for the screen");
    shared_.shmaddr = screen_->data = static_cast<char*>(shmat(shared_.shmid, nullptr, 0));
    shared_.readOnly = False;
    XShmAttach(display_, &shared_);
    XSync(display_, False);
    shmctl(shared_.shmid, IPC_RMID, nullptr);  // freed once both sides detach
    read_screen();  // the first reading maps the pages in: not while measuring

    // Pair one server time with ours: a property change is stamped with the
    // server's time at the request, and lies between our two readings.
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    const Window clock_window = XCreateWindow(display_, root, 0, 0, 1, 1, 0, 0, InputOnly, CopyFromParent,
        CWEventMask, &attributes);
    const Atom property = XInternAtom(display_, "PELLAVIN_PROBE_CLOCK", False);
    XSync(display_, False);
    const double before = now_ms();
    XChangeProperty(display_, clock_window, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(display_, clock_window, PropertyChangeMask, &event);
    reference_local_ = (before + now_ms()) / 2;
    reference_server_ = event.xproperty.time;
    XDestroyWindow(display_, clock_window);

    damage_ = XDamageCreate(display_, root, XDamageReportRawRectangles);
    XSync(display_, False);
    take();  // a new damage object first reports the whole screen
}

ScreenWatch::~ScreenWatch()
{
    XDamageDestroy(display_, damage_);
    XShmDetach(display_, &shared_);
    XSync(display_, False);
    screen_->data = nullptr;
    XDestroyImage(screen_);
    shmdt(shared_.shmaddr);
}

double ScreenWatch::to_local_ms(Time server_time) const
{
    // Server times are 32-bit milliseconds that wrap; differences do not.
    const auto since_reference = static_cast<int32_t>(static_cast<uint32_t>(server_time - reference_server_));
    return reference_local_ + since_reference;
}

std::vector<ScreenWatch::Report> ScreenWatch::take()
{
    std::vector<Report> reports;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type != damage_event_ + XDamageNotify) continue;
        const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
        reports.push_back({to_local_ms(damage.timestamp), damage.area});
    }
    return reports;
}

void ScreenWatch::read_screen() { XShmGetImage(display_, DefaultRootWindow(display_), screen_, 0, 0, AllPlanes); }

bool ScreenWatch::shows_content(const XRectangle& area)
{
    if (content_) return true;
    const int left = std::max<int>(0, area.x);
    const int top = std::max<int>(0, area.y);
    const int right = std::min<int>(screen_->width, area.x + area.width);
    const int bottom = std::min<int>(screen_->height, area.y + area.height);
    if (right <= left || bottom <= top) return false;

    for (int y = top; y < bottom && !content_; ++y) {
        for (int x = left; x < right; ++x) {
            const unsigned long colour = XGetPixel(screen_, x, y) & kRgbMask;
            if (!first_colour_) first_colour_ = colour;
            if (colour != *first_colour_) {
                content_ = true;
                break;
            }
        }
    }
    return content_;
}

}  // namespace pellavin::bench
