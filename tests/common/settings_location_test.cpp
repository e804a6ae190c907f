#include "common/settings_location.h"
#include "runtime/core/runtime_error.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace pellavin {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
const auto as_seen = testing::seen_as_unprivileged_user;

constexpr uid_t kNobody = 65534;
constexpr uid_t kOtherUser = 1;  // daemon

// A directory (no delay) or a settings file holding `delay` as DelayMinutes,
// with `mode`, the user's unless another `owner` is given; or a link to
// `link_to`. Listed again, a directory only gets the mode.
struct Node {
    const char* path;
    mode_t mode;
    int16_t delay = -1;
    uid_t owner = kNobody;
    const char* link_to = nullptr;
};

// The programs' directory and the user's home, with the user's
// configuration directory in it, under a fresh directory.
struct Tree {
    TempDir root;

    explicit Tree(const std::vector<Node>& nodes)
    {
        make({"home", 0755});
        make({"", 0755});
        for (const Node& node : nodes) make(node);
    }
    ~Tree()
    {
        for (const char* locked : {"home", ""}) chmod(at(locked).c_str(), 0755);
        for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
        }
    }

    std::string at(const std::string& relative) const { return root.file(relative); }
    void make(const Node& node) const
    {
        if (node.link_to) {
            fs::create_symlink(at(node.link_to), at(node.path));
        } else if (node.delay < 0) {
            fs::create_directories(at(node.path));
        } else {
            SettingsRecord record;
            record.DelayMinutes = node.delay;
            record.Store(at(node.path));
        }
        if (testing::running_as_root() && lchown(at(node.path).c_str(), node.owner, node.owner) != 0) {
            throw std::runtime_error("lchown failed");
        }
        if (!node.link_to) chmod(at(node.path).c_str(), node.mode);
    }

    // What the tree holds, as " a a/b c", in order.
    std::string entries() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
            names.insert(fs::relative(entry.path(), root.path()).string());
        }
        std::string text;
        for (const std::string& name : names) text += " " + name;
        return text;
    }
    std::string relative(std::string text) const
    {
        const std::string prefix = root.path().string() + "/";
        const size_t at = text.find(prefix);
        return at == std::string::npos ? text : text.erase(at, prefix.size());
    }

    // What the user sees of a transfer: its result, or the error with the path it names.
    std::string outcome(const std::function<std::string()>& transfer) const
    {
        try {
            return transfer();
        } catch (const runtime::RuntimeError& error) {
            return "! " + relative(error.detail());
        }
    }
};

struct Case {
    const char* name;
    std::vector<Node> nodes;
    const char* path;  // the file the panel stores into
    const char* watcher_reads;
    const char* reads;  // the runner and the panel
    const char* loads_made;
    const char* store;  // the panel's store of DelayMinutes 45
    const char* then_reads;
};

// DelayMinutes tells whose record is read: 0 the defaults, 30 the
// administrator's, 5 the user's own. Only root may write a 0555 directory,
// and a 0000 one is out of every other user's reach.
TEST(SettingsLocation, EachUserReadsAndStoresTheFileTheirInstallationAllows)
{
    const Node installed{"programs", 0555};
    const Node administrators{"programs/Settings.dat", 0444, 30};
    const Node own_directory{"home/.config/pellavin", 0700};
    const std::string own = "home/.config/pellavin/Settings.dat";
    const std::string own_missing = "! " + own + ": No such file or directory";
    const std::string own_refused = "! " + own + ": Permission denied";
    const Case cases[] = {
        {"a directory the user may write", {{"programs", 0755}}, "programs/Settings.dat",
            "! programs/Settings.dat: No such file or directory", "0", " programs/Settings.dat", "stored", "45"},
        {"a read-only directory", {installed}, own.c_str(), own_missing.c_str(), "0", "", "stored", "45"},
        {"a read-only directory with the administrator's file", {{"programs", 0755}, administrators, installed},
            own.c_str(), "30", "30", "", "stored", "45"},
        {"a file the user may write in a read-only directory",
            {{"programs", 0755}, {"programs/Settings.dat", 0644, 30}, installed}, "programs/Settings.dat", "30", "30",
            "", "stored", "45"},
        {"the user's own file", {installed, own_directory, {own.c_str(), 0644, 5}}, own.c_str(), "5", "5", "",
            "stored", "45"},
        {"the user's own file, read-only", {installed, own_directory, {own.c_str(), 0444, 5}}, own.c_str(), "5", "5",
            "", own_refused.c_str(), "5"},
        {"the user's own file, unreadable, beside the administrator's",
            {{"programs", 0755}, administrators, installed, own_directory, {own.c_str(), 0000, 5}}, own.c_str(),
            own_refused.c_str(), own_refused.c_str(), "", own_refused.c_str(), own_refused.c_str()},
        {"a configuration directory the user may not write", {installed, {"home/.config", 0555}}, own.c_str(),
            own_missing.c_str(), "0", "", "! home/.config/pellavin: Permission denied", "0"},
        {"a home the user cannot reach, with the administrator's file",
            {{"programs", 0755}, administrators, installed, {"home", 0000}}, own.c_str(), "30", "30", "",
            "! home/.config: Permission denied", "30"},
        {"a home the user cannot reach, and nothing else", {installed, {"home", 0000}}, own.c_str(),
            own_refused.c_str(), own_refused.c_str(), "", "! home/.config: Permission denied", own_refused.c_str()},
    };
    for (const Case& c : cases) {
        const Tree tree(c.nodes);
        // Where the user may write decides, so the user locates the file.
        const auto file = [&] { return SettingsFile::locate(tree.at("programs"), tree.at("home/.config"), {}); };
        const auto delay = [&](const auto& load) {
            return tree.outcome([&] { return std::to_string(load().DelayMinutes); });
        };
        const auto reads = [&] { return delay([&] { return file().Load(); }); };

        const std::string before = tree.entries();
        EXPECT_EQ(as_seen([&] { return tree.relative(file().path()); }), c.path) << c.name;
        EXPECT_EQ(as_seen([&] { return delay([&] { return file().LoadExisting(); }); }), c.watcher_reads) << c.name;
        EXPECT_EQ(as_seen(reads), c.reads) << c.name;
        EXPECT_EQ(tree.entries(), before + c.loads_made) << c.name << ": what the loads made";

        SettingsRecord edited;
        edited.DelayMinutes = 45;
        const std::string store = as_seen([&] {
            return tree.outcome([&] {
                file().Store(edited);
                return std::string("stored");
            });
        });
        EXPECT_EQ(store, c.store) << c.name;
        EXPECT_EQ(as_seen(reads), c.then_reads) << c.name;

        if (c.path == own && fs::exists(tree.at(administrators.path))) {
            EXPECT_EQ(SettingsRecord::LoadExisting(tree.at(administrators.path)).DelayMinutes, 30)
                << c.name << ": the administrator's file changed";
        }
    }
}

// The record beside the programs is the user's only when no other user
// could replace it; elsewhere the user's own file takes the store, nothing
// is written through a link, and until then only the administrator's files
// (root's: the first system directory's, else the one beside the programs)
// stand in: DelayMinutes 30 or 20. The user's own "mine" holds 7.
TEST(SettingsLocation, OnlyWhatNoOtherUserCouldReplaceIsTheUsers)
{
    if (!testing::running_as_root()) GTEST_SKIP() << "another user's files need root to make";
    const Node mine{"home/mine", 0644, 7}, users{"programs", 0755}, installed{"programs", 0555};
    const Node etc1{"etc1/pellavin", 0755, -1, 0}, etc2{"etc2/pellavin", 0755, -1, 0};
    const char* beside = "programs/Settings.dat";
    const std::string own = "home/.config/pellavin/Settings.dat";
    const struct {
        const char* name;
        std::vector<Node> nodes;
        std::string path;   // the file the panel stores into
        const char* reads;  // before the first store
    } cases[] = {
        {"a link as Settings.dat", {users, mine, {beside, 0, -1, kNobody, mine.path}}, own, "0"},
        {"a link planted in a directory all may write",
            {{"programs", 01777, -1, 0}, mine, {beside, 0, -1, kOtherUser, mine.path}}, own, "0"},
        {"another user's file", {users, {beside, 0666, 30, kOtherUser}}, own, "0"},
        {"root's file in the user's directory", {users, {beside, 0644, 30, 0}}, own, "30"},
        {"below a sticky directory all may write", {{"", 01777, -1, 0}, users}, beside, "0"},
        {"below a directory all may write", {{"", 0777, -1, 0}, users}, own, "0"},
        {"the second system directory's", {installed, etc2, {"etc2/pellavin/Settings.dat", 0644, 30, 0}}, own, "30"},
        {"the first system directory's", {installed, etc1, {"etc1/pellavin/Settings.dat", 0644, 20, 0}, etc2,
            {"etc2/pellavin/Settings.dat", 0644, 30, 0}}, own, "20"},
    };
    for (const auto& c : cases) {
        const Tree tree(c.nodes);
        const auto file = [&] {
            return SettingsFile::locate(tree.at("programs"), tree.at("home/.config"), {tree.at("etc1"), tree.at("etc2")});
        };
        const auto reads = [&] { return tree.outcome([&] { return std::to_string(file().Load().DelayMinutes); }); };
        std::map<std::string, std::string> before;
        for (const Node& node : c.nodes) before[node.path] = testing::read_file(tree.at(node.path));

        EXPECT_EQ(as_seen([&] { return tree.relative(file().path()); }), c.path) << c.name;
        EXPECT_EQ(as_seen(reads), c.reads) << c.name;
        as_seen([&] { return file().Store(SettingsRecord{0, 0, 0, 45, 0, 0}), std::string(); });
        EXPECT_EQ(as_seen(reads), "45") << c.name;
        for (const Node& node : c.nodes) {
            if (node.path == c.path) continue;
            EXPECT_EQ(testing::read_file(tree.at(node.path)), before[node.path]) << c.name << ": " << node.path;
            EXPECT_EQ(fs::is_symlink(tree.at(node.path)), node.link_to != nullptr) << c.name << ": " << node.path;
        }
    }
    // Root is a user like any other: a directory nobody owns is not root's,
    // and programs installed under /usr, which root may write, are the
    // system's: the record there is at most a default.
    const Tree tree({users});
    EXPECT_EQ(tree.relative(SettingsFile::locate(tree.at("programs"), tree.at("home/.config"), {}).path()), own);
    const SettingsFile system_wide = SettingsFile::locate("/usr/lib", tree.at("home/.config"), {});
    EXPECT_EQ(tree.relative(system_wide.path()), own);
    EXPECT_EQ(system_wide.sources().back(), "/usr/lib/Settings.dat");
}

// A configuration directory named by a relative path, or not at all, is
// the one in the user's home.
TEST(SettingsLocation, TheConfigurationDirectoryIsAnAbsoluteXdgConfigHomeElseTheOneInHome)
{
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
        // In a child process, whose environment goes with it.
        EXPECT_EQ(as_seen([&] {
            setenv("HOME", "/home/someone", 1);
            c.configured ? setenv("XDG_CONFIG_HOME", c.configured, 1) : unsetenv("XDG_CONFIG_HOME");
            return config_home();
        }), c.expected) << (c.configured ? c.configured : "unset");
    }
}

// The system's directories: each absolute one in turn, /etc/xdg when none is set.
TEST(SettingsLocation, TheSystemDirectoriesAreTheAbsoluteOnesOfXdgConfigDirsElseEtcXdg)
{
    for (const auto& [configured, expected] : {std::pair{"-", " /etc/xdg"}, {"", " /etc/xdg"},
             {"/site/xdg:relative::/etc/xdg", " /site/xdg /etc/xdg"}, {"relative", ""}}) {
        EXPECT_EQ(as_seen([&, configured = configured] {
            std::string(configured) == "-" ? unsetenv("XDG_CONFIG_DIRS") : setenv("XDG_CONFIG_DIRS", configured, 1);
            std::string seen;
            for (const std::string& directory : config_dirs()) seen += " " + directory;
            return seen;
        }), expected) << configured;
    }
}

}  // namespace
}  // namespace pellavin
