#include "idle/runner_process.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace pellavin::idle {
namespace {

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

// Until the child has exec'd the program.
void wait_until_running(const std::string& path)
{
    for (int i = 0; i < 100; ++i) {
        const int pidfd = open_running_program(path);
        if (pidfd >= 0) {
            close(pidfd);
            return;
        }
        usleep(20'000);
    }
}

bool readable_within_seconds(int fd, int seconds)
{
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, seconds * 1000) == 1;
}

TEST(RunningRunner, OnlyOneFromTheSameDirectoryCounts)
{
    TempDir here;
    TempDir elsewhere;
    const std::string runner = runner_in(here, "/bin/sleep");
    const std::string other = runner_in(elsewhere, "/bin/sleep");
    EXPECT_EQ(open_running_program(runner), -1);

    ChildProcess playing({other, "30"}, {});
    EXPECT_EQ(open_running_program(runner), -1) << "a runner of another directory counted";
    ChildProcess preview({runner, "30"}, {});
    wait_until_running(runner);
    fs::remove(runner);  // replaced by a new install, say: still the same game running
    const int pidfd = open_running_program(runner);
    ASSERT_GE(pidfd, 0);

    preview.send(SIGTERM);
    EXPECT_TRUE(readable_within_seconds(pidfd, 10)) << "its end went unseen";
    close(pidfd);
}

TEST(RunnerProcess, StartsTheRunnerWatchesItAndReapsIt)
{
    TempDir dir;
    RunnerProcess missing(fs::canonical(dir.path()).string() + "/PellavinRun");
    const GameStarter::Result failed = missing.start();
    EXPECT_EQ(failed.outcome, GameStarter::Outcome::Failed);
    EXPECT_NE(failed.problem.find("/PellavinRun: No such file or directory"), std::string::npos) << failed.problem;
    EXPECT_EQ(missing.fd(), -1);

    RunnerProcess runner(runner_in(dir, "/bin/true"));
    ASSERT_EQ(runner.start().outcome, GameStarter::Outcome::Started);
    ASSERT_TRUE(readable_within_seconds(runner.fd(), 10));
    runner.ended();
    EXPECT_EQ(runner.fd(), -1);
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a finished runner was left unreaped";
}

TEST(RunnerProcess, AGameAlreadyRunningIsWatchedNotStartedAgain)
{
    TempDir dir;
    const std::string path = runner_in(dir, "/bin/sleep");
    ChildProcess preview({path, "30"}, {});
    wait_until_running(path);
    RunnerProcess runner(path);
    EXPECT_EQ(runner.start().outcome, GameStarter::Outcome::AlreadyRunning);
    preview.send(SIGTERM);
    EXPECT_TRUE(readable_within_seconds(runner.fd(), 10)) << "what is watched is not the game found";
    runner.ended();
}

}  // namespace
}  // namespace pellavin::idle
