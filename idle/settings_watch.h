#pragma once

#include <string>
#include <vector>

namespace pellavin::idle {

// Changes to the settings files: the control panel writes one in place,
// another tool may create, replace or remove it. Watching each file's
// directory sees all of these, and reading it (which writes nothing) raises
// nothing. A directory that does not exist yet (a user's own, before the
// panel first stores) is watched through the nearest one above it that
// does, until it appears.
class SettingsWatch {
public:
    explicit SettingsWatch(std::vector<std::string> files);
    ~SettingsWatch();
    SettingsWatch(const SettingsWatch&) = delete;
    SettingsWatch& operator=(const SettingsWatch&) = delete;

    // -1 when nothing can be watched; problem() says why some file cannot.
    int fd() const { return fd_; }
    const std::string& problem() const { return problem_; }

    // Reads what has happened; true when it may concern a settings file.
    bool changed();

private:
    void watch_each();

    std::vector<std::string> files_;
    int fd_ = -1;
    std::string problem_;
};

}  // namespace pellavin::idle
