// A stand-in for the runner, started by the idle watcher in its place:
// writes the moment it was exec'd (CLOCK_MONOTONIC, nanoseconds) to the
// file that PELLAVIN_BENCH_STAMP names, and ends.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

int main()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char* stamp = std::getenv("PELLAVIN_BENCH_STAMP");
    if (!stamp) return 1;
    // Written aside and renamed, so that the probe never reads half of it.
    const std::string partial = std::string(stamp) + ".partial";
    FILE* file = std::fopen(partial.c_str(), "w");
    if (!file) return 1;
    std::fprintf(file, "%lld\n", static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec);
    std::fclose(file);
    return std::rename(partial.c_str(), stamp) == 0 ? 0 : 1;
}
