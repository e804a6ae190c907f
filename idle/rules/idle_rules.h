#pragma once

#include "idle/rules/idle_source.h"
#include "common/settings.h"
#include "common/settings_location.h"

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

Milliseconds steady_now();

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
    // Ends the game it started (never one it found running); its end comes
    // back as runner_ended().
    virtual void end() = 0;
    // A game runs now, whoever started it (a Preview too).
    virtual bool any_running() = 0;
};

// When the game comes on by itself. It is due once the session has had no
// input for the stored delay; it is never started while a game runs, while
// a program holds the screensaver off or while the desktop has blanked or
// locked the screen; after a game or a hold ends the next one is a full
// delay away, and after the desktop's blank or lock (or a lock asked for) a
// full delay after the user's first input.
class IdleRules {
public:
    using Say = std::function<void(const std::string& line)>;
    // The time on a clock that only goes forward.
    using Now = std::function<Milliseconds()>;

    IdleRules(IdleSource& source, GameStarter& starter, Say say, Milliseconds minute, Now now = steady_now);

    // Reads Settings.dat as the other programs read it, but creating
    // nothing. Nothing is watched before the first read.
    void load_settings(const SettingsFile& file);
    // Settings.dat as just read, or why it could not be read (then the
    // defaults apply).
    void settings_read(const SettingsRecord& record);
    void settings_unreadable(const std::string& reason);

    // Who holds the game off: a program through the watcher's own
    // org.freedesktop.ScreenSaver or through another program's, or one of
    // the desktops' keepers of such holds (holder(n): GNOME's session
    // manager, KDE's power manager, ...). Any is enough, and the end of the
    // last hold counts as input.
    enum class Holder : uint8_t { ScreenSaver, OtherScreenSaver, Keeper };
    static Holder keeper(size_t n) { return Holder(size_t(Holder::Keeper) + n); }
    // Who says that the desktop has blanked or locked the screen: logind,
    // the display server, or one of the desktops' lockers on the session
    // bus (locker(n)).
    enum class Blank : uint8_t { Logind, DisplayServer, Locker };
    static Blank locker(size_t n) { return Blank(size_t(Blank::Locker) + n); }

    void idle();
    void runner_ended();
    // logind asked the session's locker to lock (loginctl lock-session), or
    // to unlock. A lock asked for ends the watcher's game and holds the next
    // off until the user is back: a full delay after their first input
    // since, or from an Unlock. Whether the screen is locked is LockedHint's
    // to say (Blank::Logind).
    void lock_asked();
    void unlock_asked();
    void set_held(Holder holder, bool held);
    // A game the watcher started is ended when the blank comes over it.
    void set_blanked(Blank source, bool blanked);

    // Asked of the watcher's own org.freedesktop.ScreenSaver: the game now
    // (false when it cannot come: the desktop's blank is on, or it fails),
    // its end, and activity that counts as input.
    bool start_now();
    void end_game();
    void user_active();
    // A game the watcher started runs.
    bool game_shows() const { return game_running_ && started_; }
    std::function<void(bool shows)> on_game_shows;
    // The desktop blanked before the Time Delay: after how long without
    // input (empty when the session cannot tell) and the delay, as words
    // ("5 minutes"), once for each delay. Said on stderr too.
    std::function<void(const std::string& after, const std::string& delay)> on_blanked_first;
    // The desktop's blank or lock has come (true), or gone (false).
    std::function<void(bool blanked)> on_blanked;

    // The session bus has gone: what its programs last said (every hold,
    // every locker's blank) holds nothing off any more.
    void forget_session_bus();

    // "Enable Screensaver" read as off: the watcher has nothing to do.
    bool switched_off() const { return settings_ && !settings_->enabled; }

private:
    void apply(const IdleSettings& settings);
    bool wants_watch() const;
    void update(IdleSource::Count count);
    bool start();
    void set_running(bool running, bool started);
    void say_blanked_early();
    void back_from_blank();

    IdleSource& source_;
    GameStarter& starter_;
    Say say_;
    Milliseconds minute_;
    Now now_;

    std::optional<IdleSettings> settings_;
    std::optional<Milliseconds> watching_;  // the delay being watched
    bool game_running_ = false;
    bool started_ = false;  // the game running is the watcher's own
    std::set<Holder> holders_;
    std::set<Blank> blanks_;
    Milliseconds blanked_at_{0};
    uint64_t blanks_seen_ = 0;  // comings and goings of the blank
    std::optional<std::string> unreadable_said_;
    std::optional<int16_t> negative_said_;
    std::optional<Milliseconds> early_blank_said_;  // for this delay
    std::optional<Milliseconds> lock_asked_at_;     // the user not back since
    std::optional<Milliseconds> own_game_ended_at_;
};

}  // namespace pellavin::idle
