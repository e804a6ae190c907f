#include "idle/idle_rules.h"
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
    watcher.rules.set_held(Holder::SessionManager, true);
    watcher.source.advance_to(20 * kMinute);
    watcher.rules.set_held(Holder::ScreenSaver, true);
    watcher.rules.set_held(Holder::SessionManager, false);
    watcher.rules.set_held(Holder::SessionManager, false);
    watcher.source.advance_to(40 * kMinute);
    watcher.rules.set_held(Holder::ScreenSaver, false);
    watcher.source.advance_to(kLongAfter);
    EXPECT_EQ(watcher.starter.asked, Times{50 * kMinute});
    EXPECT_EQ(watcher.source.watches, 2) << "a hold that changes nothing restarts no count";
}

}  // namespace
}  // namespace pellavin::idle::testing
