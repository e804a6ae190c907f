#include "idle/idle_rules.h"

namespace pellavin::idle {
namespace {

constexpr int16_t kDelayReadAsZero = 10;  // the control panel shows 0 as "10 Minutes"

}  // namespace

IdleSettings idle_settings(const SettingsRecord& record, Milliseconds minute)
{
    IdleSettings settings;
    settings.enabled = record.NoScreensaver == 0;
    const int16_t minutes = record.DelayMinutes == 0 ? kDelayReadAsZero : record.DelayMinutes;
    if (minutes > 0) settings.delay = minutes * minute;
    return settings;
}

IdleRules::IdleRules(IdleSource& source, GameStarter& starter, Say say, Milliseconds minute)
    : source_(source)
    , starter_(starter)
    , say_(std::move(say))
    , minute_(minute)
{
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
    return settings_ && settings_->enabled && settings_->delay && !game_running_ && holders_.empty();
}

void IdleRules::update(IdleSource::Count count)
{
    if (!wants_watch()) {
        if (watching_) source_.stop();
        watching_.reset();
        return;
    }
    if (watching_ == settings_->delay && count == IdleSource::Count::FromLastInput) return;
    watching_ = settings_->delay;
    source_.watch(*settings_->delay, count);
}

void IdleRules::idle()
{
    if (!watching_) return;  // reported before the watch ended
    const GameStarter::Result result = starter_.start();
    if (result.outcome == GameStarter::Outcome::Failed) {
        // The source reports the next idle period only after input: a
        // runner that cannot start is tried once a period, never in a loop.
        say_("the game could not be started: " + result.problem + "; trying again after the next idle period");
        return;
    }
    game_running_ = true;
    update(IdleSource::Count::FromNow);
}

void IdleRules::runner_ended()
{
    game_running_ = false;
    update(IdleSource::Count::FromNow);
}

void IdleRules::set_held(Holder holder, bool held)
{
    const bool was_held = !holders_.empty();
    if (held) holders_.insert(holder);
    else holders_.erase(holder);
    const bool is_held = !holders_.empty();
    if (is_held == was_held) return;
    update(IdleSource::Count::FromNow);
}

}  // namespace pellavin::idle
