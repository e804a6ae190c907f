#include "idle/settings_watch.h"

#include "runtime/core/runtime_error.h"

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace pellavin::idle {
namespace {

constexpr char kSettingsName[] = "Settings.dat";
constexpr uint32_t kChanges =
    IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB;

}  // namespace

SettingsWatch::SettingsWatch(const std::string& directory)
{
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0 && inotify_add_watch(fd_, directory.c_str(), kChanges | IN_ONLYDIR) >= 0) return;
    problem_ = directory + ": " + std::strerror(errno);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

SettingsWatch::~SettingsWatch()
{
    if (fd_ >= 0) ::close(fd_);
}

bool SettingsWatch::changed()
{
    alignas(inotify_event) char buffer[4096];
    bool settings = false;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0) return settings;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // An overflow may have dropped the events that mattered.
            if ((event->mask & IN_Q_OVERFLOW) || (event->len > 0 && std::strcmp(event->name, kSettingsName) == 0)) {
                settings = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

void load_settings(IdleRules& rules, const std::string& path)
{
    SettingsRecord record;
    try {
        record = SettingsRecord::LoadExisting(path);
    } catch (const runtime::RuntimeError& error) {
        rules.settings_unreadable(error.detail());
        return;
    }
    rules.settings_read(record);
}

}  // namespace pellavin::idle
