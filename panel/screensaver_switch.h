#pragma once

#include <string>
#include <vector>

namespace pellavin::panel {

// Makes the user's session follow "Enable Screensaver"; the panel turns it
// after every store of the record.
class ScreensaverSwitch {
public:
    virtual ~ScreensaverSwitch() = default;

    // Returns what could not be done, each naming its path and the reason;
    // nothing when the session follows.
    virtual std::vector<std::string> set_enabled(bool enabled) = 0;
};

// The session's own switch. On: an autostart entry in the user's
// configuration directory starts the idle watcher beside the panel at every
// login, and that watcher starts now (one already watching the session
// refuses to be a second). Off: the entry goes, if it is the one this panel
// writes; the watcher running reads the stored record and ends by itself.
class SessionScreensaver final : public ScreensaverSwitch {
public:
    SessionScreensaver(const std::string& program_directory, const std::string& config_home);

    std::vector<std::string> set_enabled(bool enabled) override;

private:
    void write_entry(const std::string& watcher) const;
    void remove_entry(const std::string& watcher) const;

    std::string watcher_;
    std::string entry_;
};

}  // namespace pellavin::panel
