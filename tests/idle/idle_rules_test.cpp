#include "idle/rules/idle_rules.h"
#include "tests/idle/fake_session.h"

#include <gtest/gtest.h>

namespace pellavin::idle::testing {
namespace {

using Outcome = GameStarter::Outcome;
using Times = std::vector<Milliseconds>;

constexpr Milliseconds kMinute = FakeWatcher::kMinute;
constexpr Milliseconds kLongAfter = 40'000 * kMinute;  // past the longest delay a record holds

SettingsRecord record_with(int16_t delay_minutes, int16_t no_screensaver = 0)
{
    SettingsRecord record;
    record.DelayMinutes = delay_minutes;
    record.NoScreensaver = no_screensaver;
    return record;
}

TEST(IdleRules, TheGameComesAfterTheStoredDelayOrNever)
{
    struct Case {
        const char* name;
        SettingsRecord record;
        Times starts;
        size_t lines_said;
    };
    const Case cases[] = {
        {"one minute", record_with(1), {1 * kMinute}, 0},
        {"0, read as 10 as the panel reads it", record_with(0), {10 * kMinute}, 0},
        {"thirty minutes", record_with(30), {30 * kMinute}, 0},
        {"the largest delay", record_with(32767), {32767 * kMinute}, 0},
        {"a negative delay", record_with(-3), {}, 1},
        {"Enable Screensaver off", record_with(1, 1), {}, 0},
        {"Enable Screensaver off, as another tool writes it", record_with(1, -1), {}, 0},
    };
    for (const Case& c : cases) {
        FakeWatcher watcher;
        watcher.rules.settings_read(c.record);
        watcher.source.advance_to(kLongAfter);
        // Once it runs, the game is not started again.
        EXPECT_EQ(watcher.starter.asked, c.starts) << c.name;
        EXPECT_EQ(watcher.said.size(), c.lines_said) << c.name;
    }
}

TEST(IdleRules, WhatCannotBeReadIsSaidOnceUntilItChanges)
{
    FakeWatcher watcher;
    watcher.rules.settings_unreadable("Settings.dat: No such file or directory");
    watcher.rules.settings_unreadable("Settings.dat: No such file or directory");
    ASSERT_EQ(watcher.said.size(), 1u);
    EXPECT_NE(watcher.said[0].find("default settings: Settings.dat: No such file"), std::string::npos);
    watcher.rules.settings_read(record_with(-3));
    watcher.rules.settings_read(record_with(-3));
    ASSERT_EQ(watcher.said.size(), 2u);
    EXPECT_NE(watcher.said[1].find("-3 minutes"), std::string::npos);
    watcher.rules.settings_unreadable("Settings.dat: No such file or directory");
    EXPECT_EQ(watcher.said.size(), 3u);

    // The defaults: enabled, ten minutes.
    watcher.source.advance_to(kLongAfter);
    EXPECT_EQ(watcher.starter.asked, Times{10 * kMinute});
}

// A change of the file while the session is idle: a new delay counts from
// the last input, switching it off cancels the start. Where the compositor
// counts from the watch, watching again for an unchanged delay would put
// the game off by what has passed.
TEST(IdleRules, AChangedFileTakesEffectFromTheLastInput)
{
    struct Case {
        const char* name;
        SettingsRecord changed;
        Times starts;
        int watches;
    };
    SettingsRecord colours = record_with(10);
    colours.RandomColors = 1;
    const Case cases[] = {
        {"a shorter delay still ahead", record_with(5), {5 * kMinute}, 2},
        {"a shorter delay already passed", record_with(3), {4 * kMinute}, 2},
        {"a longer delay", record_with(30), {30 * kMinute}, 2},
        {"Enable Screensaver off", record_with(10, 1), {}, 1},
        {"a negative delay", record_with(-1), {}, 1},
        {"another setting only", colours, {10 * kMinute}, 1},
    };
    for (const Case& c : cases) {
        FakeWatcher watcher;
        watcher.rules.settings_read(record_with(10));
        watcher.source.advance_to(4 * kMinute);
        watcher.rules.settings_read(c.changed);
        watcher.rules.settings_read(c.changed);
        watcher.source.advance_to(kLongAfter);
        EXPECT_EQ(watcher.starter.asked, c.starts) << c.name;
        EXPECT_EQ(watcher.source.watches, c.watches) << c.name;
    }
}

// Whether the watcher started the runner or found one running, the next
// game is a full delay after that one ends, or after later input.
TEST(IdleRules, TheNextGameIsAFullDelayAfterTheLastOneEnds)
{
    for (Outcome first : {Outcome::Started, Outcome::AlreadyRunning}) {
        FakeWatcher watcher;
        watcher.starter.outcomes = {{first, {}}};
        watcher.rules.settings_read(record_with(10));
        watcher.source.advance_to(50 * kMinute);
        watcher.rules.runner_ended();
        watcher.source.advance_to(65 * kMinute);
        watcher.rules.runner_ended();
        watcher.source.advance_to(70 * kMinute);
        watcher.source.input();
        watcher.source.advance_to(kLongAfter);
        EXPECT_EQ(watcher.starter.asked, (Times{10 * kMinute, 60 * kMinute, 80 * kMinute}))
            << (first == Outcome::Started ? "started" : "found running");
    }
}

TEST(IdleRules, ARunnerThatCannotStartIsTriedAgainOnlyAfterTheNextIdlePeriod)
{
    FakeWatcher watcher;
    const GameStarter::Result missing{Outcome::Failed, "/games/PellavinRun: No such file or directory"};
    watcher.starter.outcomes = {missing, missing};
    watcher.rules.settings_read(record_with(10));
    watcher.source.advance_to(300 * kMinute);
    EXPECT_EQ(watcher.starter.asked, Times{10 * kMinute});
    ASSERT_EQ(watcher.said.size(), 1u);
    EXPECT_NE(watcher.said[0].find("/games/PellavinRun: No such file or directory"), std::string::npos);

    watcher.source.input();
    watcher.source.advance_to(kLongAfter);
    EXPECT_EQ(watcher.starter.asked, (Times{10 * kMinute, 310 * kMinute}));
    EXPECT_EQ(watcher.said.size(), 2u);
}

TEST(IdleRules, AHoldKeepsTheGameOffAndItsReleaseCountsAsInput)
{
    FakeWatcher watcher;
    watcher.rules.settings_read(record_with(10));
    watcher.rules.set_held(IdleRules::Holder::ScreenSaver, true);
    watcher.source.advance_to(100 * kMinute);
    EXPECT_TRUE(watcher.starter.asked.empty());
    watcher.rules.set_held(IdleRules::Holder::ScreenSaver, false);
    watcher.source.advance_to(120 * kMinute);

    // Held while the game runs: it ends, and the next waits for the release.
    watcher.rules.set_held(IdleRules::Holder::ScreenSaver, true);
    watcher.rules.runner_ended();
    watcher.source.advance_to(200 * kMinute);
    watcher.rules.set_held(IdleRules::Holder::ScreenSaver, false);
    watcher.source.advance_to(kLongAfter);
    EXPECT_EQ(watcher.starter.asked, (Times{110 * kMinute, 210 * kMinute}));
}

// A program holding the screensaver off and the session manager's
// inhibitors are two holds: the game waits for both to end, and comes a
// full delay after the later one.
TEST(IdleRules, TheGameWaitsForEveryHolderAndComesAFullDelayAfterTheLast)
{
    using Holder = IdleRules::Holder;
    FakeWatcher watcher;
    watcher.rules.settings_read(record_with(10));
    watcher.rules.set_held(Holder::Keeper, true);
    watcher.source.advance_to(20 * kMinute);
    watcher.rules.set_held(Holder::ScreenSaver, true);
    watcher.rules.set_held(Holder::Keeper, false);
    watcher.rules.set_held(Holder::Keeper, false);
    watcher.source.advance_to(40 * kMinute);
    watcher.rules.set_held(Holder::ScreenSaver, false);
    watcher.source.advance_to(kLongAfter);
    EXPECT_EQ(watcher.starter.asked, Times{50 * kMinute});
    EXPECT_EQ(watcher.source.watches, 2) << "a hold that changes nothing restarts no count";
}

}  // namespace
}  // namespace pellavin::idle::testing

namespace pellavin::idle::testing {
namespace {

using Blank = IdleRules::Blank;

// One step of a scenario at a minute: a blank coming or going, input, the
// end of the game the watcher ended, or logind asking for a lock or unlock.
struct Step {
    int minute;
    enum { BlankOn, BlankOff, Input, GameEnded, LockAsked, UnlockAsked, PreviewRuns, PreviewEnded } what;
    Blank source = Blank::Locker;
};

// The desktop's blank or lock: no game behind it, the watcher's own game
// ended when it comes, and the next a full delay after the user's first
// input once it has gone.
TEST(IdleRules, TheDesktopsBlankOrLockComesBeforeAnyGame)
{
    struct Case {
        const char* name;
        std::vector<Step> steps;
        Times starts;
        Times ends;
        size_t lines_said;
    };
    const Case cases[] = {
        {"the desktop blanks before the delay, is back without input, then input",
            {{5, Step::BlankOn}, {60, Step::BlankOff}, {70, Step::Input}}, {80 * kMinute}, {}, 1},
        {"the blank over the game ends it; none while it stays",
            {{12, Step::BlankOn}, {12, Step::GameEnded}, {100, Step::BlankOff}, {101, Step::Input}},
            {10 * kMinute, 111 * kMinute}, {12 * kMinute}, 0},
        {"a locker that ends the game by its grab, then says it blanked: the blank came over the game",
            {{12, Step::GameEnded}, {12, Step::BlankOn}, {100, Step::BlankOff}, {101, Step::Input}},
            {10 * kMinute, 111 * kMinute}, {}, 0},
        {"a lock after the blank: back once both have gone, a delay after the input that unlocked",
            {{5, Step::BlankOn}, {6, Step::BlankOn, Blank::Logind}, {7, Step::BlankOff}, {30, Step::Input},
                {40, Step::Input}, {40, Step::BlankOff, Blank::Logind}},
            {50 * kMinute}, {}, 1},
        {"the user's own lock, right after input, is not the desktop's blank",
            {{4, Step::Input}, {4, Step::BlankOn, Blank::Logind}, {5, Step::Input}, {5, Step::BlankOff, Blank::Logind}},
            {15 * kMinute}, {}, 0},
        {"a lock asked for that nothing confirms ends the game; the next a delay after the user is back",
            {{12, Step::LockAsked}, {12, Step::GameEnded}, {100, Step::Input}}, {10 * kMinute, 110 * kMinute},
            {12 * kMinute}, 0},
        {"a lock asked for holds the game off past its delay; an Unlock is the user back",
            {{5, Step::LockAsked}, {30, Step::UnlockAsked}}, {40 * kMinute}, {}, 0},
        {"the user back after a lock asked for, then a Preview that ends: the next a delay after it",
            {{5, Step::LockAsked}, {6, Step::Input}, {7, Step::GameEnded}}, {17 * kMinute}, {}, 0},
        {"the same blank twice before the delay is said once",
            {{3, Step::BlankOn, Blank::DisplayServer}, {4, Step::BlankOff, Blank::DisplayServer}, {4, Step::Input},
                {6, Step::BlankOn, Blank::DisplayServer}, {7, Step::BlankOff, Blank::DisplayServer},
                {7, Step::Input}},
            {17 * kMinute}, {}, 1},
        {"a blank over a Preview before the delay: nothing said of the blank coming first",
            {{2, Step::PreviewRuns}, {5, Step::BlankOn, Blank::DisplayServer},
                {6, Step::BlankOff, Blank::DisplayServer}, {6, Step::PreviewEnded}, {7, Step::Input}},
            {17 * kMinute}, {}, 0},
    };
    for (const Case& c : cases) {
        FakeWatcher watcher;
        watcher.rules.settings_read(record_with(10));
        for (const Step& step : c.steps) {
            watcher.source.advance_to(step.minute * kMinute);
            switch (step.what) {
            case Step::BlankOn: watcher.rules.set_blanked(step.source, true); break;
            case Step::BlankOff: watcher.rules.set_blanked(step.source, false); break;
            case Step::Input: watcher.source.input(); break;
            case Step::GameEnded: watcher.rules.runner_ended(); break;
            case Step::LockAsked: watcher.rules.lock_asked(); break;
            case Step::UnlockAsked: watcher.rules.unlock_asked(); break;
            case Step::PreviewRuns: watcher.starter.running_elsewhere = true; break;
            case Step::PreviewEnded: watcher.starter.running_elsewhere = false; break;
            }
        }
        watcher.source.advance_to(200 * kMinute);
        EXPECT_EQ(watcher.starter.asked, c.starts) << c.name;
        EXPECT_EQ(watcher.starter.ended, c.ends) << c.name;
        ASSERT_EQ(watcher.said.size(), c.lines_said) << c.name;
    }
    FakeWatcher watcher;
    watcher.rules.settings_read(record_with(10));
    watcher.source.advance_to(5 * kMinute);
    watcher.rules.set_blanked(Blank::Locker, true);
    EXPECT_EQ(watcher.said, std::vector<std::string>{"the desktop blanked the screen after 5 minutes without input, "
                                                     "before the Time Delay of 10 minutes: the game shows only where "
                                                     "the desktop's own blank comes later than the Time Delay"});
}

// A game running that the watcher found (a Preview) is the user's: the
// blank stops its drawing, not the game; the watcher's own service cannot
// start one behind the blank, and activity ends the watcher's game.
TEST(IdleRules, OnlyTheWatchersOwnGameIsEndedOrStartedOnRequest)
{
    FakeWatcher watcher;
    std::vector<bool> shows;
    watcher.rules.on_game_shows = [&](bool on) { shows.push_back(on); };
    watcher.starter.outcomes = {{Outcome::AlreadyRunning, {}}};
    watcher.rules.settings_read(record_with(10));
    watcher.source.advance_to(10 * kMinute);
    watcher.rules.set_blanked(IdleRules::locker(1), true);
    EXPECT_FALSE(watcher.rules.start_now()) << "nothing starts behind the blank";
    EXPECT_TRUE(watcher.starter.ended.empty()) << "a Preview is the user's";
    watcher.rules.runner_ended();
    watcher.rules.set_blanked(IdleRules::locker(1), false);

    EXPECT_TRUE(watcher.rules.start_now());
    EXPECT_TRUE(watcher.rules.game_shows());
    watcher.source.advance_to(12 * kMinute);
    watcher.rules.user_active();
    EXPECT_EQ(watcher.starter.ended, Times{12 * kMinute});
    watcher.rules.runner_ended();
    watcher.source.advance_to(kLongAfter);
    EXPECT_EQ(watcher.starter.asked, (Times{10 * kMinute, 10 * kMinute, 22 * kMinute}));
    EXPECT_EQ(shows, (std::vector<bool>{true, false, true}));
}

}  // namespace
}  // namespace pellavin::idle::testing
