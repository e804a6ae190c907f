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

}  // namespace pellavin::bench
