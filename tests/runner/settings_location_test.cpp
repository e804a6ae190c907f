#include "runner/settings_location.h"
#include "runtime/core/runtime_error.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace pellavin {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
const auto as_seen = testing::seen_as_unprivileged_user;

// Each test's tree: the programs' directory, and the user's configuration
// directory under `home` (or under `locked`, which the user cannot search).
struct Tree {
    TempDir root;
    std::string at(const std::string& relative) const { return root.file(relative); }

    // Makes a directory or a settings file (with `delay` as DelayMinutes)
    // that the user owns, with `mode`: 0555 is a directory they cannot write.
    void dir(const std::string& relative, mode_t mode) const
    {
        fs::create_directories(at(relative));
        own(relative, mode);
    }
    void file(const std::string& relative, int16_t delay, mode_t mode) const
    {
        SettingsRecord record;
        record.DelayMinutes = delay;
        record.Store(at(relative));
        own(relative, mode);
    }
    void own(const std::string& relative, mode_t mode) const
    {
        testing::give_to_unprivileged_user(at(relative));
        chmod(at(relative).c_str(), mode);
    }

    ~Tree()
    {
        if (fs::exists(at("locked"))) chmod(at("locked").c_str(), 0755);
        for (const std::string& name : entries()) {
            fs::permissions(at(name), fs::perms::owner_all, fs::perm_options::add);
        }
    }

    std::set<std::string> entries() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
            names.insert(fs::relative(entry.path(), root.path()).string());
        }
        return names;
    }
    std::string relative(const std::string& text) const
    {
        std::string shown = text;
        const std::string prefix = root.path().string() + "/";
        for (size_t at = shown.find(prefix); at != std::string::npos; at = shown.find(prefix)) {
            shown.erase(at, prefix.size());
        }
        return shown;
    }
};

// What the user sees of a settings transfer: the DelayMinutes read, "stored",
// or the error with the path it names.
std::string outcome(const Tree& tree, const std::function<std::string()>& transfer)
{
    try {
        return transfer();
    } catch (const runtime::RuntimeError& error) {
        return "! " + tree.relative(error.detail());
    }
}

struct Case {
    const char* name;
    std::function<void(const Tree&)> make;
    const char* config;  // the user's configuration directory
    const char* path;    // the file the panel stores into
    const char* watcher_reads;
    const char* reads;   // the runner and the panel
    const char* loads_made;
    const char* store;   // the panel's store of DelayMinutes 45
    const char* then_reads;
};

std::string join(const std::set<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
    return text;
}

// The programs' directory is read-only in every case but the first: an
// installation that is not the user's. DelayMinutes tells whose record is
// read: 0 the defaults, 30 the administrator's, 5 the user's own.
TEST(SettingsLocation, EachUserReadsAndStoresTheFileTheirInstallationAllows)
{
    const auto programs = [](const Tree& t) { t.dir("programs", 0555); };
    const auto administrators = [](const Tree& t) {
        t.dir("programs", 0755);
        t.file("programs/Settings.dat", 30, 0444);
        t.own("programs", 0555);
    };
    const auto with_own = [](mode_t mode) {
        return [mode](const Tree& t) {
            t.dir("programs", 0555);
            t.dir("home/.config/pellavin", 0700);
            t.file("home/.config/pellavin/Settings.dat", 5, mode);
        };
    };
    const Case cases[] = {
        {"a directory the user may write", [](const Tree& t) { t.dir("programs", 0755); }, "home/.config",
            "programs/Settings.dat", "! programs/Settings.dat: No such file or directory", "0",
            "programs/Settings.dat", "stored", "45"},
        {"a read-only directory", programs, "home/.config", "home/.config/pellavin/Settings.dat",
            "! home/.config/pellavin/Settings.dat: No such file or directory", "0", "", "stored", "45"},
        {"a read-only directory with the administrator's file", administrators, "home/.config",
            "home/.config/pellavin/Settings.dat", "30", "30", "", "stored", "45"},
        {"a file the user may write in a read-only directory",
            [](const Tree& t) {
                t.dir("programs", 0755);
                t.file("programs/Settings.dat", 30, 0644);
                t.own("programs", 0555);
            },
            "home/.config", "programs/Settings.dat", "30", "30", "", "stored", "45"},
        {"the user's own file", with_own(0644), "home/.config", "home/.config/pellavin/Settings.dat", "5", "5", "",
            "stored", "45"},
        {"the user's own file, read-only", with_own(0444), "home/.config", "home/.config/pellavin/Settings.dat", "5",
            "5", "", "! home/.config/pellavin/Settings.dat: Permission denied", "5"},
        {"the user's own file, unreadable, beside the administrator's",
            [&](const Tree& t) {
                administrators(t);
                with_own(0000)(t);
            },
            "home/.config", "home/.config/pellavin/Settings.dat",
            "! home/.config/pellavin/Settings.dat: Permission denied",
            "! home/.config/pellavin/Settings.dat: Permission denied", "",
            "! home/.config/pellavin/Settings.dat: Permission denied", "! home/.config/pellavin/Settings.dat: Permission denied"},
        {"a configuration directory the user may not write",
            [&](const Tree& t) {
                programs(t);
                t.dir("home/.config", 0555);
            },
            "home/.config", "home/.config/pellavin/Settings.dat",
            "! home/.config/pellavin/Settings.dat: No such file or directory", "0", "",
            "! home/.config/pellavin: Permission denied", "0"},
        {"a configuration directory the user cannot reach, with the administrator's file",
            [&](const Tree& t) {
                administrators(t);
                t.dir("locked/config", 0755);
                t.own("locked", 0000);
            },
            "locked/config", "locked/config/pellavin/Settings.dat", "30", "30", "",
            "! locked/config: Permission denied", "30"},
        {"a configuration directory the user cannot reach, and nothing else",
            [&](const Tree& t) {
                programs(t);
                t.dir("locked", 0000);
            },
            "locked/config", "locked/config/pellavin/Settings.dat",
            "! locked/config/pellavin/Settings.dat: Permission denied",
            "! locked/config/pellavin/Settings.dat: Permission denied", "", "! locked/config: Permission denied",
            "! locked/config/pellavin/Settings.dat: Permission denied"},
    };
    for (const Case& c : cases) {
        Tree tree;
        tree.dir("home", 0755);
        tree.own("", 0755);
        c.make(tree);
        // Where the user may write decides, so the user locates the file.
        const auto file = [&] { return SettingsFile::locate(tree.at("programs"), tree.at(c.config)); };
        const auto delay_of = [&](auto load) {
            return outcome(tree, [&] { return std::to_string(load().DelayMinutes); });
        };
        EXPECT_EQ(as_seen([&] { return tree.relative(file().path()); }), c.path) << c.name;

        const std::set<std::string> before = tree.entries();
        EXPECT_EQ(as_seen([&] { return delay_of([&] { return file().LoadExisting(); }); }), c.watcher_reads) << c.name;
        EXPECT_EQ(tree.entries(), before) << c.name << ": the watcher made something";
        EXPECT_EQ(as_seen([&] { return delay_of([&] { return file().Load(); }); }), c.reads) << c.name;
        std::set<std::string> made;
        for (const std::string& name : tree.entries()) {
            if (!before.count(name)) made.insert(name);
        }
        EXPECT_EQ(join(made), c.loads_made) << c.name;

        SettingsRecord edited;
        edited.DelayMinutes = 45;
        const std::string store = as_seen([&] {
            return outcome(tree, [&] {
                file().Store(edited);
                return std::string("stored");
            });
        });
        EXPECT_EQ(store, c.store) << c.name;
        EXPECT_EQ(as_seen([&] { return delay_of([&] { return file().Load(); }); }), c.then_reads) << c.name;

        const std::string own = tree.at("home/.config/pellavin");
        struct stat own_directory {};
        if (store == "stored" && std::string(c.path) != "programs/Settings.dat") {
            ASSERT_EQ(stat(own.c_str(), &own_directory), 0) << c.name;
            EXPECT_EQ(own_directory.st_mode & 0777, 0700u) << c.name << ": the user's directory is not private";
        }
        if (std::string(c.path) != "programs/Settings.dat" && tree.entries().count("programs/Settings.dat")) {
            EXPECT_EQ(SettingsRecord::LoadExisting(tree.at("programs/Settings.dat")).DelayMinutes, 30)
                << c.name << ": the administrator's file changed";
        }
    }
}

// A configuration directory named by a relative path, or not at all, is
// the one in the user's home.
TEST(SettingsLocation, TheConfigurationDirectoryIsAnAbsoluteXdgConfigHomeElseTheOneInHome)
{
    const char* saved_home = std::getenv("HOME");
    const char* saved_config = std::getenv("XDG_CONFIG_HOME");
    const std::string home = saved_home ? saved_home : "";
    const std::string config = saved_config ? saved_config : "";
    setenv("HOME", "/home/someone", 1);
    const struct {
        const char* configured;  // nullptr: unset
        const char* expected;
    } cases[] = {
        {"/elsewhere/config", "/elsewhere/config"},
        {nullptr, "/home/someone/.config"},
        {"", "/home/someone/.config"},
        {"relative/config", "/home/someone/.config"},
    };
    for (const auto& c : cases) {
        if (c.configured) {
            setenv("XDG_CONFIG_HOME", c.configured, 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        EXPECT_EQ(config_home(), c.expected) << (c.configured ? c.configured : "unset");
    }
    saved_home ? setenv("HOME", home.c_str(), 1) : unsetenv("HOME");
    saved_config ? setenv("XDG_CONFIG_HOME", config.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace pellavin
