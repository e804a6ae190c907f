#pragma once

#include "idle/idle_source.h"
#include "runner/settings.h"

#include <functional>
#include <optional>
#include <set>
#include <string>

namespace pellavin::idle {

// What the watcher takes from the settings record.
struct IdleSettings {
    bool enabled = true;
    std::optional<Milliseconds> delay;  // none: never

    bool operator==(const IdleSettings&) const = default;
};

// "Enable Screensaver" is NoScreensaver 0; the delay is DelayMinutes of
// `minute` each, with 0 read as 10 as the control panel reads it, and a
// negative delay never comes.
IdleSettings idle_settings(const SettingsRecord& record, Milliseconds minute);

// Starts the game, or finds it already running; the runner found or started
// is watched, and its end comes back as IdleRules::runner_ended().
class GameStarter {
public:
    enum class Outcome { Started, AlreadyRunning, Failed };
    struct Result {
        Outcome outcome;
        std::string problem;  // why it failed
    };

    virtual ~GameStarter() = default;
    virtual Result start() = 0;
};

// When the game comes on by itself. It is due once the session has had no
// input for the stored delay; it is never started while a game runs or
// while a program holds the screensaver off, and after a game or a hold
// ends the next one is a full delay away.
class IdleRules {
public:
    using Say = std::function<void(const std::string& line)>;

    IdleRules(IdleSource& source, GameStarter& starter, Say say, Milliseconds minute);

    // Settings.dat as just read, or why it could not be read (then the
    // defaults apply). Nothing is watched before the first of these.
    void settings_read(const SettingsRecord& record);
    void settings_unreadable(const std::string& reason);

    // Who holds the game off: a program through org.freedesktop.ScreenSaver,
    // or the session manager's inhibitors. Either is enough, and the end of
    // the last hold counts as input.
    enum class Holder { ScreenSaver, SessionManager };

    void idle();
    void runner_ended();
    void set_held(Holder holder, bool held);

    // "Enable Screensaver" read as off: the watcher has nothing to do.
    bool switched_off() const { return settings_ && !settings_->enabled; }

private:
    void apply(const IdleSettings& settings);
    bool wants_watch() const;
    void update(IdleSource::Count count);

    IdleSource& source_;
    GameStarter& starter_;
    Say say_;
    Milliseconds minute_;

    std::optional<IdleSettings> settings_;
    std::optional<Milliseconds> watching_;  // the delay being watched
    bool game_running_ = false;
    std::set<Holder> holders_;
    std::optional<std::string> unreadable_said_;
    std::optional<int16_t> negative_said_;
};

}  // namespace pellavin::idle
