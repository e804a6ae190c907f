#include "common/window_system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace pellavin {
namespace {

// How the three programs pick their window system, from the environment
// and which displays answer: Wayland first, X11 only when no compositor
// answered, each way tried only when its variable is set, and the ways
// that led nowhere listed in order for the one line a program says.
TEST(WindowSystem, WaylandWhenItAnswersElseX11ElseNoneNamingWhatWasTried)
{
    struct Case {
        const char* wayland_display;  // nullptr: unset
        const char* display;
        bool wayland_answers;
        bool x11_answers;
        WindowSystem chosen;
        std::string tried;  // variables tried in vain, and what asked
    };
    const Case cases[] = {
        {"wayland-1", ":1", true, true, WindowSystem::wayland, "W"},
        {"wayland-1", ":1", false, true, WindowSystem::x11, "WX WAYLAND_DISPLAY=wayland-1"},
        {nullptr, ":1", false, true, WindowSystem::x11, "X"},
        {"wayland-1", nullptr, false, true, WindowSystem::none, "W WAYLAND_DISPLAY=wayland-1 DISPLAY="},
        {nullptr, nullptr, true, true, WindowSystem::none, " WAYLAND_DISPLAY= DISPLAY="},
        {"wayland-1", ":1", false, false, WindowSystem::none, "WX WAYLAND_DISPLAY=wayland-1 DISPLAY=:1"},
    };
    for (const Case& c : cases) {
        c.wayland_display ? setenv("WAYLAND_DISPLAY", c.wayland_display, 1) : unsetenv("WAYLAND_DISPLAY");
        c.display ? setenv("DISPLAY", c.display, 1) : unsetenv("DISPLAY");
        std::string asked;
        const WindowSystemChoice choice = choose_window_system(
            [&] { asked += "W"; return c.wayland_answers; }, [&] { asked += "X"; return c.x11_answers; });
        std::string tried = asked;
        for (const runtime::DisplayTried& way : choice.tried) tried += " " + way.variable + "=" + way.value;
        SCOPED_TRACE(std::string(c.wayland_display ? c.wayland_display : "-") + " " + (c.display ? c.display : "-"));
        EXPECT_EQ(choice.system, c.chosen);
        EXPECT_EQ(tried, c.tried);
    }
}

// In a screensaver framework's window the game is on the X server, and a
// WAYLAND_DISPLAY beside it is neither tried nor named.
TEST(WindowSystem, LeavesWaylandOutWhenTheProgramCannotUseIt)
{
    setenv("WAYLAND_DISPLAY", "wayland-1", 1);
    unsetenv("DISPLAY");
    const WindowSystemChoice choice = choose_window_system({}, [] { return true; });
    EXPECT_EQ(choice.system, WindowSystem::none);
    ASSERT_EQ(choice.tried.size(), 1u);
    EXPECT_EQ(choice.tried[0].variable, "DISPLAY");
}

}  // namespace
}  // namespace pellavin
