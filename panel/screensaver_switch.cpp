#include "panel/screensaver_switch.h"

#include "panel/autostart_entry.h"
#include "common/settings_location.h"
#include "runtime/core/ownership.h"
#include "runtime/core/runtime_error.h"
#include "runtime/core/spawn.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace pellavin::panel {
namespace {

constexpr char kWatcherName[] = "/PellavinIdle";
constexpr char kEntryName[] = "/autostart/pellavin-idle.desktop";

// Links resolved, so that the entry goes on naming this watcher whatever
// link the panel was started through.
std::string real_file(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    const std::string resolved = real ? real : path;
    std::free(real);
    return resolved;
}

bool present(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// A launcher's start-up token is meant for the panel's own window.
bool launch_token(const std::string& variable)
{
    return variable.starts_with("DESKTOP_STARTUP_ID=") || variable.starts_with("XDG_ACTIVATION_TOKEN=");
}

}  // namespace

SessionScreensaver::SessionScreensaver(
    const std::string& program_directory, const std::string& config_home, std::vector<std::string> environment)
    : watcher_(program_directory + kWatcherName)
    , entry_(config_home + kEntryName)
    , environment_(std::move(environment))
{
    std::erase_if(environment_, launch_token);
}

SwitchOutcome SessionScreensaver::set_enabled(bool enabled)
{
    SwitchOutcome outcome;
    const auto attempt = [&outcome](const auto& step) {
        try {
            step();
        } catch (const runtime::RuntimeError& error) {
            outcome.problems.push_back(error.detail());
        }
    };
    const std::string watcher = real_file(watcher_);
    if (!enabled) {
        attempt([&] { remove_entry(watcher); });
        return outcome;
    }
    // The two programs alone, as they have always come: the stored record
    // is all there is to switch.
    if (!present(watcher)) {
        outcome.note = watcher + " is not there: \"Enable Screensaver\" is kept in the settings only";
        return outcome;
    }
    // An entry for a watcher that cannot run would start nothing at login.
    if (::access(watcher.c_str(), X_OK) != 0) return {{runtime::os_error(watcher, errno).detail()}, {}};
    // Nor may a login, or this session, run what someone else could replace.
    if (const std::string open = runtime::open_to_others(watcher); !open.empty()) {
        return {{watcher + ": not started, as another user could replace it (" + open + ")"}, {}};
    }
    attempt([&] { write_entry(watcher); });
    attempt([&] { runtime::spawn_detached(watcher, environment_); });
    return outcome;
}

void SessionScreensaver::write_entry(const std::string& watcher) const
{
    const std::optional<std::string> current = read_entry(entry_);
    const std::string text = entry_starting(current.value_or(""), watcher);
    if (current == text) return;
    make_private_directories(std::filesystem::path(entry_).parent_path().string());
    panel::write_entry(entry_, text);
}

// Only the entry that starts this panel's watcher: one the user or another
// installation put there is theirs. Switching off takes the whole entry
// away, with any keys the user added: an entry kept with Hidden=true
// instead would hold that against the next "on".
void SessionScreensaver::remove_entry(const std::string& watcher) const
{
    const std::optional<std::string> text = read_entry(entry_);
    if (!text || !starts_watcher(*text, watcher)) return;
    if (::unlink(entry_.c_str()) != 0 && errno != ENOENT) throw runtime::os_error(entry_, errno);
}

}  // namespace pellavin::panel
