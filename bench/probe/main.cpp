// Starts a program on the current X server and measures it from outside:
// when its first frame shows, how often it draws, what it and the server
// spend, how much memory it holds, and how soon a key ends it. Prints one
// "name value" line per figure.
//
//   bench_probe [--server-pid PID] [--settle S] [--window S] [--terminate]
//               [--no-screen] -- PROGRAM [ARG...]
//
// Without --window it only times the first frame and the end; --terminate
// ends the program with SIGTERM instead of the Escape key. --no-screen, for
// a Wayland session, watches no screen: it takes the window's figures from
// the kernel alone, the settling counted from the start, and ends the
// program with SIGTERM.
#include "child.h"
#include "proc_stats.h"
#include "screen_watch.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pellavin::bench {
namespace {

constexpr double kTickMs = 15.625;
// A frame's drawing reaches the server in one burst: a quiet this long
// ends it. A server stalled inside a burst splits it, so a new frame must
// also start at least half a tick after the last one began.
constexpr double kFrameGapMs = 4.0;
constexpr double kMinFrameIntervalMs = kTickMs / 2;
// An interval this long means at least one tick was missed.
constexpr double kLateIntervalMs = 1.5 * kTickMs;
// Time allowed to show a first frame, and to end.
constexpr double kTimeoutMs = 10'000;

struct Options {
    pid_t server_pid = 0;
    double settle_s = 1.0;
    double window_s = 0.0;
    bool terminate = false;
    bool screen = true;
    std::vector<char*> command;
};

// Unwinds, so that the measured program is ended too.
[[noreturn]] void fail(const std::string& message) { throw std::runtime_error(message); }

Options parse(int argc, char** argv)
{
    Options options;
    int i = 1;
    auto value = [&](const char* name) -> std::string {
        if (i + 1 >= argc) fail(std::string(name) + " needs a value");
        return argv[++i];
    };
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "--server-pid") options.server_pid = std::stoi(value("--server-pid"));
        else if (arg == "--settle") options.settle_s = std::stod(value("--settle"));
        else if (arg == "--window") options.window_s = std::stod(value("--window"));
        else if (arg == "--terminate") options.terminate = true;
        else if (arg == "--no-screen") options.screen = false;
        else fail("unknown option " + arg);
    }
    for (; i < argc; ++i) options.command.push_back(argv[i]);
    if (options.command.empty()) fail("no program given (put it after --)");
    options.command.push_back(nullptr);
    return options;
}

enum class Pumped { Deadline, Stopped, ChildExited };

// Delivers the screen's damage in the batches it arrives in, until
// `on_batch` says stop, the deadline passes or the child exits.
Pumped pump(Display* display, ScreenWatch& watch, const Child& child, double deadline_ms,
    const std::function<bool(const std::vector<ScreenWatch::Report>&)>& on_batch)
{
    pollfd fds[] = {{ConnectionNumber(display), POLLIN, 0}, {child.pidfd(), POLLIN, 0}};
    for (;;) {
        const std::vector<ScreenWatch::Report> batch = watch.take();
        if (!batch.empty() && on_batch(batch)) return Pumped::Stopped;
        const double left = deadline_ms - now_ms();
        if (left <= 0) return Pumped::Deadline;
        if (poll(fds, 2, static_cast<int>(std::ceil(left))) < 0 && errno != EINTR) fail("poll failed");
        if (fds[1].revents & POLLIN) return Pumped::ChildExited;
    }
}

// The frames drawn in the measuring window, told apart by the quiet
// between them.
class FrameTimes {
public:
    void add(double at_ms)
    {
        if (frames_.empty() || (at_ms - last_ms_ > kFrameGapMs && at_ms - frames_.back() >= kMinFrameIntervalMs)) {
            frames_.push_back(at_ms);
        }
        last_ms_ = at_ms;
    }

    void print_figures() const
    {
        print_figure("frames", static_cast<double>(frames_.size()));
        if (frames_.size() < 2) return;
        std::vector<double> intervals;
        for (size_t i = 1; i < frames_.size(); ++i) intervals.push_back(frames_[i] - frames_[i - 1]);
        const double span = frames_.back() - frames_.front();
        const double mean = span / static_cast<double>(intervals.size());
        double square_sum = 0;
        for (double interval : intervals) square_sum += (interval - mean) * (interval - mean);
        print_figure("tick_span_ms", span);
        print_figure("tick_hz", 1000.0 / mean);
        print_figure("tick_jitter_ms", std::sqrt(square_sum / static_cast<double>(intervals.size())));
        print_figure("tick_max_ms", *std::max_element(intervals.begin(), intervals.end()));
        print_figure("late_ticks", static_cast<double>(std::count_if(intervals.begin(), intervals.end(),
                                [](double interval) { return interval > kLateIntervalMs; })));
    }

private:
    std::vector<double> frames_;
    double last_ms_ = 0;
};

// CPU over the measuring window, the frames drawn in it, and the resident
// memory at its start and how much it grew by its end.
void measure_window(Display* display, ScreenWatch& watch, const Child& child, const Options& options)
{
    const double settled = now_ms() + options.settle_s * 1000.0;
    if (pump(display, watch, child, settled, [](const auto&) { return false; }) == Pumped::ChildExited) {
        fail("the program ended while settling");
    }

    const UsageWindow usage(child.pid(), options.server_pid);
    FrameTimes frames;
    const double end = now_ms() + options.window_s * 1000.0;
    const Pumped pumped = pump(display, watch, child, end, [&](const auto& batch) {
        for (const ScreenWatch::Report& report : batch) frames.add(report.at_ms);
        return false;
    });
    if (pumped == Pumped::ChildExited) fail("the program ended while measured");
    usage.print_figures();
    frames.print_figures();
}

void press_and_release_escape(Display* display)
{
    const KeyCode code = XKeysymToKeycode(display, XK_Escape);
    if (code == 0) fail("the keyboard has no Escape key");
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
}

void print_peak_rss(const Child& child)
{
    if (const std::optional<long> peak = status_kib(child.pid(), "VmHWM")) {
        print_figure("rss_peak_kib", static_cast<double>(*peak));
    }
}

void end_and_print_status(Child& child)
{
    kill(child.pid(), SIGTERM);
    const std::optional<int> status = child.wait_exit(kTimeoutMs);
    if (!status) fail("the program did not end within the time-out");
    print_figure("exit_status", *status);
}

int run_without_screen(Options options)
{
    Child child(options.command);
    if (child.wait_exit(options.settle_s * 1000.0)) fail("the program ended while settling");
    const UsageWindow usage(child.pid(), options.server_pid);
    if (child.wait_exit(options.window_s * 1000.0)) fail("the program ended while measured");
    usage.print_figures();
    print_peak_rss(child);
    end_and_print_status(child);
    return 0;
}

int run(Options options)
{
    const std::unique_ptr<Display, decltype(&XCloseDisplay)> connection(XOpenDisplay(nullptr), XCloseDisplay);
    if (!connection) fail("cannot open the display");
    Display* display = connection.get();
    int unused = 0;
    if (!XTestQueryExtension(display, &unused, &unused, &unused, &unused)) fail("the X server has no XTEST");
    ScreenWatch watch(display);

    const double started = now_ms();
    Child child(options.command);

    // The first frame: the first damage after which the screen holds more
    // than one colour. The screen is read once a batch of reports has
    // arrived; something a later report of the same batch drew over an
    // earlier one's area would credit the earlier one, an error no larger
    // than the batch, which is short.
    std::optional<double> first_frame;
    const Pumped shown = pump(display, watch, child, started + kTimeoutMs, [&](const auto& batch) {
        watch.read_screen();
        for (const ScreenWatch::Report& report : batch) {
            if (watch.shows_content(report.area)) {
                first_frame = report.at_ms;
                return true;
            }
        }
        return false;
    });
    if (shown == Pumped::ChildExited) fail("the program ended before it showed anything");
    if (!first_frame) fail("nothing showed within the time-out");
    print_figure("first_frame_ms", *first_frame - started);

    if (options.window_s > 0) {
        measure_window(display, watch, child, options);
        print_peak_rss(child);
    }

    if (options.terminate) {
        end_and_print_status(child);
        return 0;
    }
    // What the program maps while it plays: the libraries it loaded to get
    // there, and whether a toolkit is among them.
    const MappedLibraries mapped = mapped_libraries(child.pid());
    print_figure("libraries", mapped.all);
    print_figure("toolkit_libraries", mapped.toolkit);

    press_and_release_escape(display);
    const double pressed = now_ms();
    XFlush(display);
    const std::optional<int> status = child.wait_exit(kTimeoutMs);
    if (!status) fail("the program did not end within the time-out");
    print_figure("key_exit_ms", now_ms() - pressed);
    print_figure("exit_status", *status);
    return 0;
}

}  // namespace
}  // namespace pellavin::bench

int main(int argc, char** argv)
{
    try {
        const pellavin::bench::Options options = pellavin::bench::parse(argc, argv);
        return options.screen ? pellavin::bench::run(options) : pellavin::bench::run_without_screen(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_probe: %s\n", error.what());
        return 2;
    }
}
