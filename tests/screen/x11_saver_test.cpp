#include "common/settings.h"
#include "runtime/screen/x11/reply.h"
#include "tests/screen/x11_observer.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <sys/inotify.h>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pellavin::testing {
namespace {

using screen::Rect;

// How often the watched file has been opened. Its closes are watched too,
// since inotify merges alike events in a row.
size_t opens_seen(int inotify)
{
    size_t opens = 0;
    inotify_event events[64];
    for (ssize_t length; (length = read(inotify, events, sizeof events)) > 0;) {
        for (size_t i = 0; i < static_cast<size_t>(length) / sizeof(inotify_event); ++i) {
            opens += (events[i].mask & IN_OPEN) != 0 ? 1 : 0;
        }
    }
    return opens;
}

// The real runner given a window as a screensaver framework gives one, as
// small as a framework's preview: 320 by 200 pixels, 3000 twips high at
// 96 DPI, less than the scene the game is laid out in.
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

// However small the preview, and whatever size the framework gives it next,
// the whole scene shows, as large as fits: the paddles on its first and last
// rows and the ball between them, each 255 twips thick at one scale, which
// fits the scene's 10035 by 5940 twips. With Autoplay off the ball moves,
// as no key reaches the window, and every size's new game plays the
// settings read once.
TEST_F(X11SaverTest, PlaysTheWholeSceneScaledIntoTheGivenWindowOnlyFollowingItsSize)
{
    SettingsRecord manual;
    manual.NoAutoplay = -1;
    manual.Store(dir.file("Settings.dat"));
    const int inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(inotify, dir.file("Settings.dat").c_str(), IN_OPEN | IN_CLOSE);
    auto runner = start_runner();
    for (const Rect size : {Rect{0, 0, 320, 200}, Rect{0, 0, 400, 300}, Rect{0, 0, 640, 160}}) {
        const uint32_t extent[] = {static_cast<uint32_t>(size.width), static_cast<uint32_t>(size.height)};
        xcb_configure_window(observer.get(), window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, extent);
        observer.sync();
        const double thick = 255 / std::max({1440.0 / observer.dpi(), 10035.0 / size.width, 5940.0 / size.height});
        const int band = static_cast<int>(thick) + 2;
        const Rect middle{0, band, size.width, size.height - 2 * band};
        const auto scene = [&](const X11Observer::Image& image) {
            const Rect top = image.lit_box({0, 0, size.width, band});
            const Rect bottom = image.lit_box({0, size.height - band, size.width, band});
            const Rect ball = image.lit_box(middle);
            return top.y == 0 && std::abs(top.height - thick) <= 1 && bottom.bottom() == size.height
                && std::abs(bottom.height - thick) <= 1 && std::abs(ball.width - thick) <= 1
                && std::abs(ball.height - thick) <= 1;
        };
        X11Observer::Image first = observer.shot(size);
        X11Observer::Image later = first;
        for (int i = 0; i < 100 && !(scene(later) && later.lit_box(middle) != first.lit_box(middle)); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            (scene(first) ? later : first) = observer.shot(size);
        }
        EXPECT_TRUE(scene(first) && scene(later)) << size.width << "x" << size.height;
        EXPECT_NE(later.lit_box(middle), first.lit_box(middle)) << size.width << "x" << size.height;
    }
    ASSERT_TRUE(runner->running()) << read_file(dir.file("stderr"));
    EXPECT_EQ(opens_seen(inotify), 1u);
    close(inotify);

    // Of the framework's window nothing but its drawing, its size, whether
    // it can be seen and its end: no key, button or pointer. (That it makes no window of its own,
    // saver.sh sees in the frameworks themselves.)
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
