#include "runtime/screen/full_screen.h"

#include "runtime/screen/x11/connection.h"
#include "runtime/screen/x11/x11_play.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

std::string_view environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void say(const std::string& title, const std::string& line)
{
    std::fprintf(stderr, "%s: %s\n", title.c_str(), line.c_str());
    std::fflush(stderr);
}

// A window id as the frameworks write it: decimal, or hexadecimal after 0x.
std::optional<uint32_t> window_id(std::string_view text)
{
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    uint32_t id = 0;
    const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), id, base);
    if (error != std::errc{} || at != text.data() + text.size() || id == 0) return std::nullopt;
    return id;
}

// Whether the compositor that WAYLAND_DISPLAY names takes connections,
// found as libwayland-client would look for it; empty when it does,
// otherwise why not.
std::string wayland_problem()
{
    const std::string_view name = environment("WAYLAND_DISPLAY");
    if (name.empty()) return "WAYLAND_DISPLAY is not set";
    std::string path(name);
    if (!name.starts_with('/')) {
        const std::string_view runtime = environment("XDG_RUNTIME_DIR");
        if (runtime.empty()) return "WAYLAND_DISPLAY \"" + path + "\" is set, but XDG_RUNTIME_DIR is not";
        path = std::string(runtime) + "/" + path;
    }
    const std::string no_answer = "no Wayland compositor answers at WAYLAND_DISPLAY \"" + std::string(name) + "\"";
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return no_answer;
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answers = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) close(fd);
    return answers ? std::string() : no_answer;
}

}  // namespace

int run_full_screen(const std::string& title, const FormFactory& make_form, const std::function<int()>& on_wayland)
{
    const std::string_view saver_window = environment("XSCREENSAVER_WINDOW");
    std::optional<uint32_t> given;
    if (!saver_window.empty()) {
        given = window_id(saver_window);
        if (!given) {
            say(title, "XSCREENSAVER_WINDOW holds \"" + std::string(saver_window) + "\", which is no window id");
            return 1;
        }
    }
    const std::string wayland = given ? "XSCREENSAVER_WINDOW names an X window" : wayland_problem();
    if (wayland.empty()) return on_wayland();
    X11Connection x11;
    if (!x11.connected()) {
        const std::string x11_problem
            = x11.name().empty() ? "DISPLAY is not set" : "no X server answers at DISPLAY \"" + x11.name() + "\"";
        say(title, "there is no display to show on (" + wayland + "; " + x11_problem + ")");
        return 1;
    }
    return play_on_x11(x11, title, make_form, given);
}

}  // namespace pellavin::screen
