#include "panel/screensaver_switch.h"

#include "runner/settings_location.h"
#include "runtime/core/runtime_error.h"
#include "runtime/core/spawn.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace pellavin::panel {
namespace {

constexpr char kWatcherName[] = "/PellavinIdle";
constexpr char kEntryName[] = "/autostart/pellavin-idle.desktop";
constexpr mode_t kEntryMode = 0644;

// A desktop entry's string value: backslashes and control characters escaped.
std::string string_value(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// The program as the one argument of Exec, quoted whatever the path holds,
// so that no character in it can split it or read as a field code.
std::string exec_argument(const std::string& path)
{
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return string_value(quoted + "\"");
}

std::string exec_line(const std::string& watcher) { return "Exec=" + exec_argument(watcher); }

// The entry's text; nothing when there is none.
std::optional<std::string> read_entry(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        throw runtime::os_error(path, errno);
    }
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
    const int err = errno;
    ::close(fd);
    if (got < 0) throw runtime::os_error(path, err);
    return text;
}

bool starts_watcher(const std::string& entry, const std::string& watcher)
{
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);) {
        if (line == exec_line(watcher)) return true;
    }
    return false;
}

// Links resolved, so that the entry goes on naming this watcher whatever
// link the panel was started through.
std::string real_file(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    const std::string resolved = real ? real : path;
    std::free(real);
    return resolved;
}

// The entry that starts `watcher` at every login.
std::string autostart_entry(const std::string& watcher)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Pellavin Idle\n"
           "Comment=Starts the Pellavin game when the computer has been left alone for its Time Delay\n"
        + exec_line(watcher) + "\n"
        + "TryExec=" + string_value(watcher) + "\n"
        + "Terminal=false\n"
          "NoDisplay=true\n";
}

}  // namespace

SessionScreensaver::SessionScreensaver(const std::string& program_directory, const std::string& config_home)
    : watcher_(program_directory + kWatcherName)
    , entry_(config_home + kEntryName)
{
}

std::vector<std::string> SessionScreensaver::set_enabled(bool enabled)
{
    std::vector<std::string> problems;
    const auto attempt = [&problems](const auto& step) {
        try {
            step();
        } catch (const runtime::RuntimeError& error) {
            problems.push_back(error.detail());
        }
    };
    const std::string watcher = real_file(watcher_);
    if (!enabled) {
        attempt([&] { remove_entry(watcher); });
        return problems;
    }
    // An entry for a watcher that cannot run would start nothing at login.
    if (::access(watcher.c_str(), X_OK) != 0) return {runtime::os_error(watcher, errno).detail()};
    attempt([&] { write_entry(watcher); });
    attempt([&] { runtime::spawn_detached(watcher); });
    return problems;
}

// Written beside and renamed into place: a login never reads half an entry.
void SessionScreensaver::write_entry(const std::string& watcher) const
{
    const std::string text = autostart_entry(watcher);
    if (read_entry(entry_) == text) return;
    make_private_directories(std::filesystem::path(entry_).parent_path().string());
    const std::string partial = entry_ + ".new";
    const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, kEntryMode);
    if (fd < 0) throw runtime::os_error(entry_, errno);
    const ssize_t put = ::write(fd, text.data(), text.size());
    int failure = put == static_cast<ssize_t>(text.size()) ? 0 : (put < 0 ? errno : ENOSPC);
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && ::rename(partial.c_str(), entry_.c_str()) != 0) failure = errno;
    if (failure != 0) {
        ::unlink(partial.c_str());
        throw runtime::os_error(entry_, failure);
    }
}

// Only the entry that starts this panel's watcher: one the user or another
// installation put there is theirs.
void SessionScreensaver::remove_entry(const std::string& watcher) const
{
    const std::optional<std::string> text = read_entry(entry_);
    if (!text || !starts_watcher(*text, watcher)) return;
    if (::unlink(entry_.c_str()) != 0 && errno != ENOENT) throw runtime::os_error(entry_, errno);
}

}  // namespace pellavin::panel
