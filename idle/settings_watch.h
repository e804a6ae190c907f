#pragma once

#include "idle/idle_rules.h"

#include <string>

namespace pellavin::idle {

// Changes to Settings.dat: the control panel writes it in place, another
// tool may create, replace or remove it. Watching its directory sees all of
// these, and reading it (which writes nothing) raises nothing.
class SettingsWatch {
public:
    explicit SettingsWatch(const std::string& directory);
    ~SettingsWatch();
    SettingsWatch(const SettingsWatch&) = delete;
    SettingsWatch& operator=(const SettingsWatch&) = delete;

    // -1 when the directory cannot be watched; problem() says why.
    int fd() const { return fd_; }
    const std::string& problem() const { return problem_; }

    // Reads what has happened; true when it concerns Settings.dat.
    bool changed();

private:
    int fd_ = -1;
    std::string problem_;
};

// Settings.dat, as the other programs read it but creating nothing, into
// the rules: the record, or why it could not be read.
void load_settings(IdleRules& rules, const std::string& path);

}  // namespace pellavin::idle
