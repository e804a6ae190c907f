#pragma once

#include <string>
#include <vector>

namespace pellavin::panel {

// What a turn of the switch came to.
struct SwitchOutcome {
    std::vector<std::string> problems;  // what could not be done, each naming its path and the reason
    std::string note;                   // nothing went wrong, but the user may want to know, once
};

// Makes the user's session follow "Enable Screensaver"; the panel turns it
// after every store of the record.
class ScreensaverSwitch {
public:
    virtual ~ScreensaverSwitch() = default;

    virtual SwitchOutcome set_enabled(bool enabled) = 0;
};

// The session's own switch. On: an autostart entry in the user's
// configuration directory starts the idle watcher beside the panel at every
// login, and that watcher starts now (one already watching the session
// refuses to be a second), with the environment the panel was started in.
// Off: the entry goes, if it is the one this panel writes; the watcher
// running reads the stored record and ends by itself. Without a watcher
// beside the panel there is nothing to switch: the record holds the choice.
class SessionScreensaver final : public ScreensaverSwitch {
public:
    SessionScreensaver(
        const std::string& program_directory, const std::string& config_home, std::vector<std::string> environment);

    SwitchOutcome set_enabled(bool enabled) override;

private:
    void write_entry(const std::string& watcher) const;
    void remove_entry(const std::string& watcher) const;

    std::string watcher_;
    std::string entry_;
    std::vector<std::string> environment_;
};

}  // namespace pellavin::panel
