#include "proc_stats.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>

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

std::optional<long> wakeups(pid_t pid)
{
    std::error_code error;
    std::optional<long> sum;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "status");
        for (std::string line; std::getline(in, line);) {
            constexpr std::string_view kField = "voluntary_ctxt_switches:";
            if (line.rfind(kField, 0) == 0) sum = sum.value_or(0) + std::stol(line.substr(kField.size()));
        }
    }
    return sum;
}

MappedLibraries mapped_libraries(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
    std::set<std::string> libraries;
    for (std::string line; std::getline(in, line);) {
        const size_t path = line.find('/');
        if (path != std::string::npos && line.find(".so", path) != std::string::npos) libraries.insert(line.substr(path));
    }
    MappedLibraries mapped;
    mapped.all = static_cast<int>(libraries.size());
    for (const std::string& library : libraries) {
        const std::string name = library.substr(library.rfind('/') + 1);
        if (name.rfind("libQt", 0) == 0 || name.rfind("libgtk", 0) == 0 || name.rfind("libgdk", 0) == 0) ++mapped.toolkit;
    }
    return mapped;
}

void print_figure(const char* name, double value) { std::printf("%s %.3f\n", name, value); }

namespace {

double now_s()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::optional<double> server_cpu_seconds(pid_t server) { return server ? cpu_seconds(server) : std::nullopt; }

}  // namespace

UsageWindow::UsageWindow(pid_t program, pid_t server)
    : program_(program)
    , server_(server)
    , start_s_(now_s())
    , program_cpu_(cpu_seconds(program))
    , server_cpu_(server_cpu_seconds(server))
    , wakeups_(wakeups(program))
    , rss_kib_(status_kib(program, "VmRSS").value_or(0))
{
}

void UsageWindow::print_figures() const
{
    const double seconds = now_s() - start_s_;
    const std::optional<double> program_cpu = cpu_seconds(program_);
    const std::optional<double> server_cpu = server_cpu_seconds(server_);
    print_figure("window_s", seconds);
    if (program_cpu_ && program_cpu) print_figure("cpu_pct", (*program_cpu - *program_cpu_) / seconds * 100.0);
    if (server_cpu_ && server_cpu) print_figure("server_cpu_pct", (*server_cpu - *server_cpu_) / seconds * 100.0);
    const std::optional<long> woke = wakeups(program_);
    if (wakeups_ && woke) print_figure("wakeups_per_s", static_cast<double>(*woke - *wakeups_) / seconds);
    print_figure("rss_kib", static_cast<double>(rss_kib_));
    print_figure("rss_growth_kib", static_cast<double>(status_kib(program_, "VmRSS").value_or(0) - rss_kib_));
}

}  // namespace pellavin::bench
