#include "idle/session_lock.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace pellavin::idle {
namespace {

// The lock lies where no other user could take its name first: the runtime
// directory when it is the user's alone, else their own cache, made private.
TEST(SessionLock, LiesWhereNoOtherUserCanReach)
{
    testing::TempDir dir;
    testing::give_to_unprivileged_user(dir.path().string());
    chmod(dir.path().c_str(), 0755);
    const std::string runtime = dir.file("runtime"), shared = dir.file("shared"), cache = dir.file("cache");
    for (const auto& [made, mode] : {std::pair{runtime, 0700}, {shared, 01777}}) {
        std::filesystem::create_directory(made);
        testing::give_to_unprivileged_user(made);
        chmod(made.c_str(), mode);
    }
    for (const auto& [runtime_dir, lies_in] : {std::pair{runtime, runtime}, {shared, cache + "/pellavin"},
             {std::string(), cache + "/pellavin"}, {std::string("relative"), cache + "/pellavin"}}) {
        const std::string seen = testing::seen_as_unprivileged_user([&, &runtime_dir = runtime_dir] {
            setenv("XDG_CACHE_HOME", cache.c_str(), 1);
            runtime_dir.empty() ? unsetenv("XDG_RUNTIME_DIR") : setenv("XDG_RUNTIME_DIR", runtime_dir.c_str(), 1);
            const SessionLock first("x11-host:1"), second("x11-host:1");
            struct stat info {};
            stat(std::filesystem::path(first.path()).parent_path().c_str(), &info);
            const bool once = first.state() == SessionLock::State::Taken
                && second.state() == SessionLock::State::HeldElsewhere;
            return first.path() + (once ? " once " : " not once ") + std::to_string(info.st_mode & 07777);
        });
        EXPECT_EQ(seen, lies_in + "/pellavin-idle-x11-host:1.lock once " + std::to_string(0700)) << runtime_dir;
    }
}

}  // namespace
}  // namespace pellavin::idle
