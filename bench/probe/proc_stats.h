#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace pellavin::bench {

// What the kernel knows of a process, read from /proc: nothing here comes
// from the process itself.

// User plus system CPU time of every thread, in seconds.
std::optional<double> cpu_seconds(pid_t pid);

// A memory figure from /proc/<pid>/status in KiB, such as "VmRSS" or the
// peak "VmHWM".
std::optional<long> status_kib(pid_t pid, const std::string& field);

// How often the process has woken so far: the voluntary context switches
// of all its threads (each time it sleeps, it switches).
std::optional<long> wakeups(pid_t pid);

// The shared libraries a process has mapped, counted once each, and how
// many of them belong to a toolkit (Qt, GTK, GDK).
struct MappedLibraries {
    int all = 0;
    int toolkit = 0;
};
MappedLibraries mapped_libraries(pid_t pid);

// Prints one figure as the probes do: "name value".
void print_figure(const char* name, double value);

// What a program and its display server spend over a window of time, from
// its start until print_figures: the window's length, both CPU shares of
// one core, the program's wake-ups a second, and its resident memory at the
// start and its growth.
class UsageWindow {
public:
    // A `server` of 0: none to measure.
    UsageWindow(pid_t program, pid_t server);
    void print_figures() const;

private:
    pid_t program_;
    pid_t server_;
    double start_s_;
    std::optional<double> program_cpu_;
    std::optional<double> server_cpu_;
    std::optional<long> wakeups_;
    long rss_kib_;
};

}  // namespace pellavin::bench
