// Times the idle watcher from outside: moves the pointer through XTEST,
// and waits for the stand-in runner (bench_exec_stamp) that the watcher
// starts once the delay has passed. Prints "exec_latency_ms VALUE" per run:
// the stand-in's exec less the moment the delay was reached.
//
//   bench_idle_probe --stamp FILE --delay-ms D [--runs N]
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

namespace {

constexpr int kTimeoutMs = 10'000;  // beyond the delay
constexpr useconds_t kBetweenRunsUs = 300'000;  // for the watcher to see the stand-in end

long long now_ns()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "bench_idle_probe: %s\n", message.c_str());
    std::exit(1);
}

// Waits for the stamp file to be put in place; returns what it says.
long long wait_for_stamp(const std::string& path, int timeout_ms)
{
    const std::string dir = path.substr(0, path.rfind('/'));
    const std::string name = path.substr(path.rfind('/') + 1);
    const int watch = inotify_init1(IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, dir.c_str(), IN_MOVED_TO) < 0) fail("cannot watch " + dir);
    const long long until = now_ns() + timeout_ms * 1'000'000LL;
    while (access(path.c_str(), F_OK) != 0) {
        pollfd ready{watch, POLLIN, 0};
        const int left = static_cast<int>((until - now_ns()) / 1'000'000);
        if (left <= 0 || poll(&ready, 1, left) <= 0) fail("the watcher started no runner in time");
        char events[4096];
        [[maybe_unused]] const ssize_t got = read(watch, events, sizeof events);
    }
    close(watch);
    long long stamp = 0;
    std::ifstream(path) >> stamp;
    unlink(path.c_str());
    return stamp;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string stamp;
    long long delay_ms = 0;
    int runs = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--stamp") stamp = argv[i + 1];
        else if (option == "--delay-ms") delay_ms = std::atoll(argv[i + 1]);
        else if (option == "--runs") runs = std::atoi(argv[i + 1]);
        else fail("unknown option " + option);
    }
    if (stamp.empty() || delay_ms <= 0) fail("usage: bench_idle_probe --stamp FILE --delay-ms D [--runs N]");
    Display* display = XOpenDisplay(nullptr);
    if (!display) fail("no X server");

    for (int run = 0; run < runs; ++run) {
        unlink(stamp.c_str());
        // The server has taken the motion, and set its idle time back to
        // zero, once the round trip is over.
        XTestFakeRelativeMotionEvent(display, 1, 1, CurrentTime);
        XSync(display, False);
        const long long input = now_ns();
        const long long exec = wait_for_stamp(stamp, static_cast<int>(delay_ms) + kTimeoutMs);
        std::printf("exec_latency_ms %.2f\n", (exec - input - delay_ms * 1'000'000LL) / 1e6);
        std::fflush(stdout);
        usleep(kBetweenRunsUs);
    }
    XCloseDisplay(display);
    return 0;
}
