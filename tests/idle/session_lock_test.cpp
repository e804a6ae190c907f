#include "idle/session_lock.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace pellavin::idle {
namespace {

namespace fs = std::filesystem;

// The lock's name must be one no other user could take first: the session's
// runtime directory when it is the user's alone, else a directory of the
// user's own cache, made private, and never a shared one such as /tmp.
TEST(SessionLock, LiesWhereNoOtherUserCanReach)
{
    if (!testing::running_as_root()) GTEST_SKIP() << "another user's directory needs root to make";
    testing::TempDir dir;
    testing::give_to_unprivileged_user(dir.path().string());
    chmod(dir.path().c_str(), 0755);
    const auto directory = [&](const char* name, mode_t mode, bool users) {
        fs::create_directory(dir.file(name));
        if (users) testing::give_to_unprivileged_user(dir.file(name));
        chmod(dir.file(name).c_str(), mode);
        return dir.file(name);
    };
    const std::string runtime = directory("runtime", 0700, true);
    const std::string cache = dir.file("cache") + "/pellavin";
    const struct {
        const char* name;
        std::optional<std::string> runtime_dir;
        std::string lies_in;
    } cases[] = {
        {"a private runtime directory", runtime, runtime},
        {"none", std::nullopt, cache},
        {"a relative one", "runtime", cache},
        {"one all may write", directory("shared", 01777, false), cache},
        {"another user's", directory("roots", 0700, false), cache},
    };
    for (const auto& c : cases) {
        const std::string seen = testing::seen_as_unprivileged_user([&] {
            setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
            c.runtime_dir ? setenv("XDG_RUNTIME_DIR", c.runtime_dir->c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
            const SessionLock first("x11-host:1");
            const SessionLock second("x11-host:1");
            const std::string lies_in = fs::path(first.path()).parent_path().string();
            struct stat info {};
            stat(lies_in.c_str(), &info);
            const bool taken_once = first.state() == SessionLock::State::Taken
                && second.state() == SessionLock::State::HeldElsewhere;
            return lies_in + (taken_once ? " taken once " : " not taken once ")
                + std::to_string(info.st_mode & 07777) + " " + first.problem();
        });
        EXPECT_EQ(seen, c.lies_in + " taken once " + std::to_string(0700) + " ") << c.name;
    }
}

}  // namespace
}  // namespace pellavin::idle
