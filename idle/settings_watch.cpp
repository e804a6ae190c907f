#include "idle/settings_watch.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/inotify.h>
#include <unistd.h>

namespace pellavin::idle {
namespace {

constexpr char kSettingsName[] = "Settings.dat";
constexpr uint32_t kChanges =
    IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB;

}  // namespace

SettingsWatch::SettingsWatch(std::vector<std::string> files)
    : files_(std::move(files))
{
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        problem_ = std::string("inotify: ") + std::strerror(errno);
        return;
    }
    watch_each();
}

SettingsWatch::~SettingsWatch()
{
    if (fd_ >= 0) ::close(fd_);
}

// Watching a directory again only refreshes its watch, so this runs
// whenever a directory on the way may have come or gone.
void SettingsWatch::watch_each()
{
    problem_.clear();
    bool watching = false;
    for (const std::string& file : files_) {
        std::filesystem::path directory = std::filesystem::path(file).parent_path();
        bool watched = true;
        while (watched && inotify_add_watch(fd_, directory.c_str(), kChanges | IN_ONLYDIR) < 0) {
            const bool missing = errno == ENOENT || errno == ENOTDIR;
            if (!missing || directory == directory.root_path()) {
                problem_ = directory.string() + ": " + std::strerror(errno);
                watched = false;
            }
            directory = directory.parent_path();
        }
        watching = watching || watched;
    }
    if (!watching) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool SettingsWatch::changed()
{
    alignas(inotify_event) char buffer[4096];
    bool settings = false;
    bool directories = false;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // An overflow may have dropped the events that mattered.
            if ((event->mask & IN_Q_OVERFLOW) || (event->len > 0 && std::strcmp(event->name, kSettingsName) == 0)) {
                settings = true;
            }
            // A directory on the way came or went: a settings file may have come or gone with it.
            if (event->mask & (IN_ISDIR | IN_IGNORED)) directories = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (directories) watch_each();
    return settings || directories;
}

}  // namespace pellavin::idle
