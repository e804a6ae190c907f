// Any text in the user's autostart entry, and any watcher's path: the panel
// sets its keys and keeps the rest, and what it writes starts the watcher,
// written again unchanged.
#include "panel/autostart_entry.h"
#include "runtime/core/runtime_error.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The first line is the watcher's path, the rest the entry.
    const size_t line_end = input.find('\n');
    const std::string watcher = line_end == std::string::npos ? "/usr/lib/pellavin/PellavinIdle" : input.substr(0, line_end);
    const std::string current = line_end == std::string::npos ? input : input.substr(line_end + 1);
    std::string written;
    try {
        written = pellavin::panel::entry_starting(current, watcher);
    } catch (const pellavin::runtime::RuntimeError&) {
        return 0;  // a path that is not UTF-8: said to the user, nothing written
    }
    if (!pellavin::panel::starts_watcher(written, watcher)) std::abort();
    if (pellavin::panel::entry_starting(written, watcher) != written) std::abort();
    return 0;
}
