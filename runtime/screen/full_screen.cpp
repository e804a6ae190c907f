#include "runtime/screen/full_screen.h"

#include "common/window_system.h"
#include "runtime/core/no_display.h"

#include "runtime/screen/wayland/connection.h"
#include "runtime/screen/wayland/wayland_play.h"
#include "runtime/screen/x11/connection.h"
#include "runtime/screen/x11/x11_play.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>

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

}  // namespace

bool given_a_window() { return !environment("XSCREENSAVER_WINDOW").empty(); }

int run_full_screen(const std::string& title, const FormFactory& make_form)
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
    std::optional<WaylandConnection> compositor;
    std::optional<X11Connection> x11;
    std::function<bool()> wayland_answers;
    if (!given) wayland_answers = [&compositor] { return compositor.emplace().connected(); };
    const WindowSystemChoice choice
        = choose_window_system(wayland_answers, [&x11] { return x11.emplace().connected(); });
    switch (choice.system) {
    case WindowSystem::wayland: return play_on_wayland(*compositor, title, make_form);
    case WindowSystem::x11: return play_on_x11(*x11, title, make_form, given);
    case WindowSystem::none: break;
    }
    say(title, runtime::no_display_line(choice.tried));
    return 1;
}

}  // namespace pellavin::screen
