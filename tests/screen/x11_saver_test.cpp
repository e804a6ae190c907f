#include "runner/settings.h"
#include "runtime/screen/device_pixels.h"
#include "runtime/screen/x11/reply.h"
#include "tests/screen/x11_observer.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>

namespace pellavin::testing {
namespace {

constexpr screen::Rgb kWhite{255, 255, 255};

// The real runner given a window as a screensaver framework gives one, and
// as small as a framework's preview: 320 by 200 pixels at 96 DPI, 3000
// twips high, above which the ball starts, so that it is lost at once.
class X11SaverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!observer.connected()) GTEST_SKIP() << "no X server";
        xcb_connection_t* c = observer.get();
        window = xcb_generate_id(c);
        const uint32_t black = 0;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, observer.root(), 0, 0, 320, 200, 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &black);
        xcb_map_window(c, window);
        observer.sync();
        std::filesystem::copy_file(PELLAVIN_RUNNER, dir.file("PellavinRun"));
        SettingsRecord().Store(dir.file("Settings.dat"));
    }

    std::unique_ptr<ChildProcess> start_runner()
    {
        return std::make_unique<ChildProcess>(std::vector<std::string>{dir.file("PellavinRun"), "-root"},
            ChildProcess::Options{dir.file("stderr"), {"XSCREENSAVER_WINDOW=" + std::to_string(window)}, false});
    }

    X11Observer observer;
    TempDir dir;
    xcb_window_t window = XCB_WINDOW_NONE;
};

TEST_F(X11SaverTest, PlaysInTheGivenWindowOnlyAndServesALostBallAgain)
{
    auto runner = start_runner();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_TRUE(runner->running()) << "a saver whose ball is lost must not end: " << read_file(dir.file("stderr"));
    // The paddles at their places in the window's 200 rows, the bottom one
    // on its last rows; the ball starts below them.
    const double twips_per_pixel = 1440.0 / observer.dpi();
    const screen::DevicePixels pixels(twips_per_pixel, 1.0);
    const float height = static_cast<float>(std::lround(200 * twips_per_pixel));
    const screen::Rect window_area{0, 0, 320, 200};
    const screen::Rect top = pixels.rect({1200, 0, 2175, 255}).intersected(window_area);
    const screen::Rect bottom = pixels.rect({1200, height - 255, 2175, 255}).intersected(window_area);
    const X11Observer::Image image = observer.shot({0, 0, 320, 200});
    EXPECT_EQ(image.lit_box({0, 0, 320, top.bottom()}), top);
    EXPECT_EQ(image.lit_box({0, top.bottom(), 320, 200 - top.bottom()}), bottom);
    EXPECT_EQ(bottom.bottom(), 200);
    EXPECT_EQ(image.at(top.x, 0), kWhite);
    // Of the framework's window nothing but its drawing, whether it can be
    // seen and its end: no key, button or pointer. (That it makes no window of its own, saver.sh
    // sees in the frameworks themselves.)
    const screen::Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(observer.get(), xcb_get_window_attributes(observer.get(), window), nullptr));
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->all_event_masks,
        uint32_t{XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_VISIBILITY_CHANGE});
    observer.move_pointer(160, 100);
    EXPECT_TRUE(observer.pointer_shows()) << "the pointer is the framework's business";

    // How fast it ends, saver.sh sees as the frameworks end it.
    runner->send(SIGTERM);
    const int status = runner->wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(read_file(dir.file("stderr")), "");
}

// How often a process has woken: the voluntary context switches of its threads.
long wakeups(pid_t pid)
{
    long sum = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("voluntary_ctxt_switches:")) sum += std::stol(line.substr(line.find(':') + 1));
        }
    }
    return sum;
}

// The framework's window covered whole (here by a window of nobody's), the
// saver in it rests: at most a wake-up a second.
TEST_F(X11SaverTest, RestsWhileItsWindowIsCovered)
{
    auto runner = start_runner();
    xcb_connection_t* c = observer.get();
    const xcb_window_t cover = xcb_generate_id(c);
    const uint32_t unmanaged = 1;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, cover, observer.root(), 0, 0, 400, 300, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, &unmanaged);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    xcb_map_window(c, cover);
    observer.sync();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long before = wakeups(runner->pid());
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_LE(wakeups(runner->pid()) - before, 3);
    ASSERT_TRUE(runner->running());
    xcb_destroy_window(c, cover);
    runner->send(SIGTERM);
    runner->wait();
}

TEST_F(X11SaverTest, AWindowThatIsNotThereIsSaidSo)
{
    xcb_destroy_window(observer.get(), window);
    observer.sync();
    auto runner = start_runner();
    const int status = runner->wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_NE(read_file(dir.file("stderr")).find("XSCREENSAVER_WINDOW names does not exist"), std::string::npos)
        << read_file(dir.file("stderr"));
}

}  // namespace
}  // namespace pellavin::testing
