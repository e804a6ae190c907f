#include "runtime/qt/session_end.h"

#include <QGuiApplication>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include <cerrno>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace pellavin::qt_backend {

void end_with_the_compositor(const std::string& program_name)
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return;
    auto* display = static_cast<wl_display*>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display"));
    if (display == nullptr) return;
    const int fd = wl_display_get_fd(display);
    const std::string line = program_name + ": the Wayland compositor has gone\n";
    // A thread that sleeps until the connection hangs up: asking for no
    // events, poll reports only that, so it never wakes for the traffic
    // that Qt reads.
    std::thread([fd, line] {
        pollfd hang_up{fd, 0, 0};
        while (poll(&hang_up, 1, -1) < 0 && errno == EINTR) {
        }
        if (write(STDERR_FILENO, line.data(), line.size()) < 0) {
        }
        _exit(1);
    }).detach();
}

}  // namespace pellavin::qt_backend
