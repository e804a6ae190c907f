#include "idle/rules/idle_rules.h"

#include "runtime/core/runtime_error.h"

namespace pellavin::idle {
namespace {

constexpr int16_t kDelayReadAsZero = 10;  // the control panel shows 0 as "10 Minutes"
constexpr Milliseconds kSecond{1000};
// A blank or lock that comes this soon after input is the user's own (a
// key to lock the screen, or a locker that was on when the watcher
// started), not the desktop's blank on idle.
constexpr Milliseconds kUsersOwnLock{5000};
constexpr Milliseconds kRealMinute{60'000};

std::string count_of(long long count, const char* unit)
{
    return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

// "15 seconds", "5 minutes": what a user reads off a clock.
std::string duration_text(Milliseconds time)
{
    if (time < kRealMinute) return count_of(time / kSecond, "second");
    return count_of((time + kRealMinute / 2) / kRealMinute, "minute");
}

// Adds or removes one of several that each say the same; true when that
// turns whether any says so.
template <typename Who> bool turns_any(std::set<Who>& saying, Who who, bool says)
{
    const bool before = !saying.empty();
    if (says) saying.insert(who);
    else saying.erase(who);
    return saying.empty() == before;
}

}  // namespace

IdleSettings idle_settings(const SettingsRecord& record, Milliseconds minute)
{
    IdleSettings settings;
    settings.enabled = record.NoScreensaver == 0;
    const int16_t minutes = record.DelayMinutes == 0 ? kDelayReadAsZero : record.DelayMinutes;
    if (minutes > 0) settings.delay = minutes * minute;
    return settings;
}

Milliseconds steady_now()
{
    return std::chrono::duration_cast<Milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

IdleRules::IdleRules(IdleSource& source, GameStarter& starter, Say say, Milliseconds minute, Now now)
    : source_(source)
    , starter_(starter)
    , say_(std::move(say))
    , minute_(minute)
    , now_(std::move(now))
{
}

void IdleRules::load_settings(const SettingsFile& file)
{
    SettingsRecord record;
    try {
        record = file.LoadExisting();
    } catch (const runtime::RuntimeError& error) {
        settings_unreadable(error.detail());
        return;
    }
    settings_read(record);
}

void IdleRules::settings_read(const SettingsRecord& record)
{
    unreadable_said_.reset();
    if (record.DelayMinutes >= 0) {
        negative_said_.reset();
    } else if (negative_said_ != record.DelayMinutes) {
        say_("the Time Delay is " + std::to_string(record.DelayMinutes) + " minutes: no game will start by itself");
        negative_said_ = record.DelayMinutes;
    }
    apply(idle_settings(record, minute_));
}

void IdleRules::settings_unreadable(const std::string& reason)
{
    if (unreadable_said_ != reason) {
        say_("using the default settings: " + reason);
        unreadable_said_ = reason;
    }
    negative_said_.reset();
    apply(idle_settings(SettingsRecord{}, minute_));
}

void IdleRules::apply(const IdleSettings& settings)
{
    // A file that changed in what does not concern us must not restart the
    // count: where the compositor counts from the watch, it would.
    if (settings_ == settings) return;
    settings_ = settings;
    update(IdleSource::Count::FromLastInput);
}

bool IdleRules::wants_watch() const
{
    return settings_ && settings_->enabled && settings_->delay && !game_running_ && holders_.empty()
        && blanks_.empty();
}

void IdleRules::update(IdleSource::Count count)
{
    if (!wants_watch()) {
        if (watching_) source_.stop();
        watching_.reset();
        return;
    }
    if (lock_asked_at_ && count != IdleSource::Count::AfterInput) {
        // After a lock asked for, the count waits for the user's input,
        // unless they have been back since.
        source_.idle_time([this, count, asked = *lock_asked_at_](std::optional<Milliseconds> idle) {
            if (lock_asked_at_ != asked) return;
            if (idle && *idle < now_() - asked) lock_asked_at_.reset();
            update(lock_asked_at_ ? IdleSource::Count::AfterInput : count);
        });
        return;
    }
    if (watching_ == settings_->delay && count == IdleSource::Count::FromLastInput) return;
    watching_ = settings_->delay;
    source_.watch(*settings_->delay, count);
}

void IdleRules::idle()
{
    if (!watching_) return;  // reported before the watch ended
    lock_asked_at_.reset();  // a full delay has passed since input
    // The source reports the next idle period only after input: a runner
    // that cannot start is tried once a period, never in a loop.
    start();
}

bool IdleRules::start()
{
    const GameStarter::Result result = starter_.start();
    if (result.outcome == GameStarter::Outcome::Failed) {
        say_("the game could not be started: " + result.problem + "; trying again after the next idle period");
        return false;
    }
    set_running(true, result.outcome == GameStarter::Outcome::Started);
    update(IdleSource::Count::FromNow);
    return true;
}

void IdleRules::runner_ended()
{
    if (started_) own_game_ended_at_ = now_();
    set_running(false, false);
    update(IdleSource::Count::FromNow);
}

void IdleRules::set_running(bool running, bool started)
{
    const bool showed = game_shows();
    game_running_ = running;
    started_ = started;
    if (game_shows() != showed && on_game_shows) on_game_shows(game_shows());
}

void IdleRules::set_held(Holder holder, bool held)
{
    if (!turns_any(holders_, holder, held)) return;
    update(IdleSource::Count::FromNow);
}

void IdleRules::set_blanked(Blank source, bool blanked)
{
    if (!turns_any(blanks_, source, blanked)) return;
    ++blanks_seen_;
    if (on_blanked) on_blanked(!blanks_.empty());
    if (blanks_.empty()) {
        back_from_blank();
        return;
    }
    blanked_at_ = now_();
    // Nobody sees a game behind the desktop's blank or lock.
    if (game_shows()) starter_.end();
    // A watch still waiting means the desktop's blank came first.
    else if (watching_) say_blanked_early();
    update(IdleSource::Count::FromNow);
}

void IdleRules::forget_session_bus()
{
    for (const Holder holder : std::set<Holder>(holders_)) set_held(holder, false);
    for (const Blank source : std::set<Blank>(blanks_)) {
        if (source >= Blank::Locker) set_blanked(source, false);
    }
}

// The user is back once there has been input: a full delay after the first
// input since the blank came (a key that woke the screen, a password typed
// into the lock), or after the next one.
void IdleRules::back_from_blank()
{
    const Milliseconds away = now_() - blanked_at_;
    source_.idle_time([this, away, blanks = blanks_seen_](std::optional<Milliseconds> idle) {
        if (blanks != blanks_seen_) return;  // blanked again meanwhile
        update(idle && *idle < away ? IdleSource::Count::FromLastInput : IdleSource::Count::AfterInput);
    });
}

void IdleRules::say_blanked_early()
{
    const Milliseconds delay = *watching_;
    // A game the user started themselves (a Preview) was on: the blank came over it, not before it.
    if (early_blank_said_ == delay || starter_.any_running()) return;
    // Nor a locker that ended the watcher's game by taking the keyboard a
    // moment before it said it had blanked.
    if (own_game_ended_at_ && now_() - *own_game_ended_at_ < kUsersOwnLock) return;
    source_.idle_time([this, delay](std::optional<Milliseconds> idle) {
        if (idle && *idle < kUsersOwnLock) return;
        early_blank_said_ = delay;
        const std::string after = idle ? "after " + duration_text(*idle) + " without input" : "";
        const std::string time_delay = count_of(delay / minute_, "minute");
        say_("the desktop blanked the screen" + (idle ? " " + after : "") + ", before the Time Delay of " + time_delay
            + ": the game shows only where the desktop's own blank comes later than the Time Delay");
        if (on_blanked_first) on_blanked_first(after, time_delay);
    });
}

void IdleRules::lock_asked()
{
    lock_asked_at_ = now_();
    if (game_shows()) starter_.end();  // the locker comes over it
    update(IdleSource::Count::AfterInput);
}

void IdleRules::unlock_asked()
{
    if (!lock_asked_at_) return;
    lock_asked_at_.reset();
    update(IdleSource::Count::FromNow);
}

bool IdleRules::start_now()
{
    if (game_shows()) return true;
    if (!blanks_.empty() || game_running_) return false;
    return start();
}

void IdleRules::end_game()
{
    if (game_shows()) starter_.end();
}

void IdleRules::user_active()
{
    end_game();
    update(IdleSource::Count::FromNow);
}

}  // namespace pellavin::idle
