#include "idle/runner_process.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pellavin::idle {
namespace {

using Outcome = GameStarter::Outcome;
using testing::ChildProcess;
using testing::TempDir;
namespace fs = std::filesystem;

// A stand-in runner: a real program under the runner's name.
std::string runner_in(const TempDir& dir, const std::string& program)
{
    const std::string path = fs::canonical(dir.path()).string() + "/PellavinRun";
    fs::copy_file(program, path);
    return path;
}

bool readable_within_seconds(int fd, int seconds)
{
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, seconds * 1000) == 1;
}

TEST(RunnerProcess, StartsTheRunnerWatchesItAndReapsIt)
{
    TempDir dir;
    RunnerProcess missing(fs::canonical(dir.path()).string() + "/PellavinRun");
    const GameStarter::Result failed = missing.start();
    EXPECT_EQ(failed.outcome, Outcome::Failed);
    EXPECT_NE(failed.problem.find("/PellavinRun: No such file or directory"), std::string::npos) << failed.problem;

    RunnerProcess runner(runner_in(dir, "/bin/true"));
    ASSERT_EQ(runner.start().outcome, Outcome::Started);
    ASSERT_TRUE(readable_within_seconds(runner.fd(), 10));
    runner.ended();
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a finished runner was left unreaped";
}

// Only a game from the watcher's own directory counts, even one whose
// program has been replaced since it started; it is watched, not doubled.
TEST(RunnerProcess, AGameRunningFromTheSameDirectoryIsWatchedNotStartedAgain)
{
    TempDir here;
    TempDir elsewhere;
    const std::string path = runner_in(here, "/bin/sleep");
    ChildProcess other({runner_in(elsewhere, "/bin/sleep"), "30"}, {});
    ChildProcess preview({path, "30"}, {});
    for (int i = 0; i < 100 && fs::read_symlink("/proc/" + std::to_string(preview.pid()) + "/exe") != path; ++i) {
        usleep(20'000);  // until it has exec'd
    }
    fs::remove(path);

    RunnerProcess runner(path);
    ASSERT_EQ(runner.start().outcome, Outcome::AlreadyRunning);
    other.send(SIGTERM);
    EXPECT_FALSE(readable_within_seconds(runner.fd(), 1)) << "the game of another directory is watched";
    preview.send(SIGTERM);
    EXPECT_TRUE(readable_within_seconds(runner.fd(), 10)) << "the game found is not the one watched";
    runner.ended();
}

}  // namespace
}  // namespace pellavin::idle
