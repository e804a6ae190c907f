#include "panel/screensaver_switch.h"
#include "runtime/core/spawn.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace pellavin::panel {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;
using namespace std::chrono_literals;

// A stand-in watcher: each start adds a line "parent session pid path" to
// `started` beside it.
constexpr char kStandIn[] = R"(#!/bin/sh
read -r pid comm state parent group session rest </proc/$$/stat
echo "$parent $session $$ $0" >>"$(dirname "$0")/started"
)";

// The panel's directory, named as awkwardly as a path can be, holding a
// stand-in watcher, and reached through a link as a menu entry would.
struct Installation {
    TempDir dir;
    fs::path real;
    fs::path link = dir.path() / "link";
    fs::path config = dir.path() / "config";
    fs::path entry = config / "autostart/pellavin-idle.desktop";
    std::string watcher;

    explicit Installation(const std::string& name = "a \"dir\" with $, ` and \\ in it")
        : real(dir.path() / name)
        , watcher((real / "PellavinIdle").string())
    {
        fs::create_directories(real);
        testing::write_file(watcher, kStandIn);
        fs::permissions(watcher, fs::perms(0755));
        fs::create_directory_symlink(real, link);
    }

    // The starts so far, once `count` have come.
    std::vector<std::string> starts(size_t count) const
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 100 && lines.size() < count; ++i) {
            if (i > 0) std::this_thread::sleep_for(50ms);
            std::istringstream text(read_file((real / "started").string()));
            lines.clear();
            for (std::string line; std::getline(text, line);) lines.push_back(line);
        }
        return lines;
    }
};

// On: an entry that a desktop accepts and that starts this very watcher,
// and the watcher started now in a session of its own, as no child of the
// panel. Off: the entry goes; one for another watcher stays.
TEST(SessionScreensaver, OnGivesTheSessionAnEntryAndARunningWatcherAndOffTakesTheEntryAway)
{
    Installation panel;
    SessionScreensaver screensaver(panel.link.string(), panel.config.string(), runtime::current_environment());
    EXPECT_EQ(screensaver.set_enabled(true).problems, std::vector<std::string>{});

    const std::vector<std::string> started = panel.starts(1);
    ASSERT_EQ(started.size(), 1u);
    std::istringstream start(started[0]);
    pid_t parent = 0, session = 0, pid = 0;
    start >> parent >> session >> pid;
    EXPECT_EQ(started[0].substr(started[0].find('/')), panel.watcher);
    EXPECT_NE(parent, getpid()) << "the watcher is the panel's child";
    EXPECT_EQ(session, pid) << "the watcher shares the panel's session";

    ASSERT_TRUE(fs::exists(panel.entry));
    struct stat made {};
    stat(panel.config.c_str(), &made);
    EXPECT_EQ(made.st_mode & 0777, 0700u) << "a configuration directory open to others";
    const std::string complaints = panel.dir.file("complaints");
    const std::string validate = "desktop-file-validate '" + panel.entry.string() + "' >'" + complaints + "' 2>&1";
    EXPECT_EQ(std::system(validate.c_str()), 0);
    EXPECT_EQ(read_file(complaints), "");
    // A desktop's own launcher reads the entry and starts the same program.
    testing::run_to_end({"gio", "launch", panel.entry.string()});
    const std::vector<std::string> launched = panel.starts(2);
    ASSERT_EQ(launched.size(), 2u);
    EXPECT_EQ(launched[1].substr(launched[1].find('/')), panel.watcher);

    EXPECT_EQ(screensaver.set_enabled(false).problems, std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(panel.entry));
    EXPECT_EQ(screensaver.set_enabled(false).problems, std::vector<std::string>{});

    const std::string others = "[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/lib/pellavin/PellavinIdle\n";
    testing::write_file(panel.entry.string(), others);
    EXPECT_EQ(screensaver.set_enabled(false).problems, std::vector<std::string>{});
    EXPECT_EQ(read_file(panel.entry.string()), others) << "another installation's entry was touched";
}

// Each failure is said with its path, and what can still be done is done.
// With no watcher beside the panel nothing fails: there is only a note.
TEST(SessionScreensaver, WhatCannotBeDoneIsSaidWithItsPath)
{
    {
        TempDir empty;
        SessionScreensaver screensaver(empty.path().string(), empty.file("config"), runtime::current_environment());
        const SwitchOutcome outcome = screensaver.set_enabled(true);
        EXPECT_EQ(outcome.problems, std::vector<std::string>{});
        EXPECT_EQ(outcome.note.find(empty.file("PellavinIdle") + " is not there"), 0u) << outcome.note;
        EXPECT_FALSE(fs::exists(empty.file("config"))) << "an entry for a watcher that is not there";
    }
    {
        // A desktop entry is UTF-8: the entry cannot name this watcher, which starts all the same.
        Installation latin1("caf\xe9");
        SessionScreensaver screensaver(latin1.real.string(), latin1.config.string(), runtime::current_environment());
        EXPECT_EQ(screensaver.set_enabled(true).problems,
            std::vector<std::string>{latin1.watcher + ": not UTF-8, so no desktop entry can name it"});
        EXPECT_EQ(latin1.starts(1).size(), 1u);
        EXPECT_FALSE(fs::exists(latin1.entry));
    }

    Installation panel;
    testing::give_to_unprivileged_user(panel.dir.path().string());
    testing::give_to_unprivileged_user(panel.real.string());
    fs::create_directory(panel.config);
    testing::give_to_unprivileged_user(panel.config.string());
    const auto problem = [&](bool enabled) {
        return testing::seen_as_unprivileged_user([&] {
            SessionScreensaver screensaver(panel.real.string(), panel.config.string(), runtime::current_environment());
            const std::vector<std::string> problems = screensaver.set_enabled(enabled).problems;
            return problems.size() == 1 ? problems[0] : std::to_string(problems.size()) + " problems";
        });
    };
    chmod(panel.config.c_str(), 0555);
    EXPECT_EQ(problem(true), (panel.config / "autostart").string() + ": Permission denied");
    EXPECT_EQ(panel.starts(1).size(), 1u) << "the watcher did not start for this session";

    chmod(panel.config.c_str(), 0755);
    fs::create_directory(panel.config / "autostart");
    testing::write_file(panel.entry.string(), "");
    chmod(panel.entry.c_str(), 0000);
    EXPECT_EQ(problem(false), panel.entry.string() + ": Permission denied");
}

// A login must never start what someone else could replace: another
// user's watcher, or one that others may write or sit in a directory that
// others may write, sticky or not. Root's is fine, even below a sticky one.
TEST(SessionScreensaver, StartsNoWatcherAnotherUserCouldReplace)
{
    if (!testing::running_as_root()) GTEST_SKIP() << "another user's files need root to make";
    const struct {
        std::function<void(const Installation&)> make;
        const char* reason;  // about the directory, or the watcher itself; nullptr: it starts
        bool directory = false;
    } cases[] = {
        {[](const Installation& i) { chmod(i.real.c_str(), 01777); }, "others may write it", true},
        {[](const Installation& i) { chmod(i.watcher.c_str(), 0775); }, "others may write it"},
        {[](const Installation& i) { (void)!chown(i.watcher.c_str(), 1, 0); }, "another user's"},
        {[](const Installation& i) { chmod(i.dir.path().c_str(), 01777); }, nullptr},
    };
    for (const auto& c : cases) {
        Installation panel("programs");
        c.make(panel);
        SessionScreensaver screensaver(panel.real.string(), panel.config.string(), runtime::current_environment());
        const std::vector<std::string> problems = screensaver.set_enabled(true).problems;
        if (!c.reason) {
            EXPECT_EQ(problems, std::vector<std::string>{});
            EXPECT_EQ(panel.starts(1).size(), 1u);
            continue;
        }
        const std::string about = c.directory ? panel.real.string() : panel.watcher;
        EXPECT_EQ(problems, std::vector<std::string>{panel.watcher + ": not started, as another user could replace it ("
                                + about + ": " + c.reason + ")"});
        EXPECT_FALSE(fs::exists(panel.entry)) << c.reason;
        EXPECT_FALSE(fs::exists(panel.real / "started")) << c.reason;
    }
}

// The entry is the user's file: a store changes the panel's own keys and
// keeps whatever the user and their desktop wrote around them, and one far
// larger than any entry is left alone.
TEST(SessionScreensaver, OnKeepsTheUsersOwnLinesInTheEntry)
{
    Installation panel("programs");
    fs::create_directories(panel.entry.parent_path());
    const std::string theirs = "[Desktop Entry]\nName=Old\nHidden=true\nExec = /old/PellavinIdle\n# kept\n"
                               "X-GNOME-Autostart-enabled=false\n\n[X-Other]\nExec=other\n";
    testing::write_file(panel.entry.string(), "# by hand\n" + theirs);
    SessionScreensaver screensaver(panel.real.string(), panel.config.string(), runtime::current_environment());
    EXPECT_EQ(screensaver.set_enabled(true).problems, std::vector<std::string>{});
    EXPECT_EQ(read_file(panel.entry.string()),
        "# by hand\n[Desktop Entry]\nType=Application\nName=Pellavin Idle\nComment=Starts the Pellavin game when the "
        "computer has been left alone for its Time Delay\nExec=\"" + panel.watcher + "\"\nTryExec=" + panel.watcher
            + "\nTerminal=false\nNoDisplay=true\nHidden=true\n# kept\nX-GNOME-Autostart-enabled=false\n\n"
              "[X-Other]\nExec=other\n");

    const std::string huge = "[Desktop Entry]\n" + std::string(128 * 1024, '#') + "\n";
    testing::write_file(panel.entry.string(), huge);
    for (const bool enabled : {true, false}) {
        EXPECT_EQ(screensaver.set_enabled(enabled).problems,
            std::vector<std::string>{panel.entry.string() + ": larger than 64 KiB, so no desktop entry"});
    }
    EXPECT_EQ(read_file(panel.entry.string()), huge);
    EXPECT_EQ(panel.starts(2).size(), 2u) << "the watcher did not start for this session";
}

}  // namespace
}  // namespace pellavin::panel
