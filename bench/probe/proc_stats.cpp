#include "proc_stats.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace pellavin::bench {

std::optional<double> cpu_seconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    // The command name may hold blanks and parentheses: fields count from
    // after its closing parenthesis, where the state (field 3) begins.
    const size_t name_end = line.rfind(')');
    if (name_end == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(name_end + 2));
    constexpr int kFieldsBeforeUtime = 11;  // state .. cmajflt
    std::string skip;
    for (int i = 0; i < kFieldsBeforeUtime; ++i) fields >> skip;
    uint64_t utime = 0;
    uint64_t stime = 0;
    if (!(fields >> utime >> stime)) return std::nullopt;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::optional<long> status_kib(pid_t pid, const std::string& field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    const std::string prefix = field + ":";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) != 0) continue;
        std::istringstream value(line.substr(prefix.size()));
        long kib = 0;
        if (value >> kib) return kib;
    }
    return std::nullopt;
}

}  // namespace pellavin::bench
