#include "idle/settings_watch.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <poll.h>

namespace pellavin::idle {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::write_file;

// What the watcher's loop would see: the descriptor wakes it, and changed()
// says whether to read the settings again.
bool wakes_for_settings(SettingsWatch& watch)
{
    pollfd ready{watch.fd(), POLLIN, 0};
    return poll(&ready, 1, 1000) == 1 && watch.changed();
}

// A user who has never stored: their directory, and even the configuration
// directory above it, come only with the panel's first store. Each step on
// the way wakes the watcher, and so do both files; nothing else does.
TEST(SettingsWatch, SeesTheUsersOwnFileAppearThroughDirectoriesThatDoNotExistYet)
{
    TempDir dir;
    const fs::path home = dir.path() / "home";
    const fs::path programs = dir.path() / "programs";
    fs::create_directories(home);
    fs::create_directories(programs);
    const fs::path own = home / ".config/pellavin/Settings.dat";
    SettingsWatch watch({own.string(), (programs / "Settings.dat").string()});
    ASSERT_GE(watch.fd(), 0);
    EXPECT_EQ(watch.problem(), "");

    write_file((home / "notes").string(), "x");
    EXPECT_FALSE(wakes_for_settings(watch)) << "an unrelated file";
    fs::create_directory(home / ".config");
    EXPECT_TRUE(wakes_for_settings(watch)) << "the configuration directory";
    // The directory and the file at once, before the watcher looks again.
    fs::create_directory(home / ".config/pellavin");
    write_file(own.string(), std::string(12, '\0'));
    EXPECT_TRUE(wakes_for_settings(watch)) << "the user's directory and file";
    write_file(own.string(), std::string(12, '\1'));
    EXPECT_TRUE(wakes_for_settings(watch)) << "a store into the user's file";
    write_file((home / ".config/pellavin/other").string(), "x");
    EXPECT_FALSE(wakes_for_settings(watch)) << "another file beside it";
    write_file((programs / "Settings.dat").string(), std::string(12, '\0'));
    EXPECT_TRUE(wakes_for_settings(watch)) << "the administrator's file";

    // Removed and made again, the directory is still watched.
    fs::remove_all(home / ".config");
    EXPECT_TRUE(wakes_for_settings(watch)) << "the directory removed";
    fs::create_directories(own.parent_path());
    write_file(own.string(), std::string(12, '\0'));
    while (wakes_for_settings(watch)) {
    }
    write_file(own.string(), std::string(12, '\1'));
    EXPECT_TRUE(wakes_for_settings(watch)) << "a store after the directory came back";
}

}  // namespace
}  // namespace pellavin::idle
