#include "tests/robustness/store_loop_records.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <thread>

namespace pellavin::testing {
namespace {

constexpr int kKills = 200;
constexpr int kLongestWaitMicroseconds = 3000;
constexpr auto kStartDeadline = std::chrono::seconds(30);
const std::string kTail = "bytes after the record";

std::string bytes_of(const SettingsRecord& record)
{
    const auto bytes = record.to_bytes();
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A writer killed at any moment of its store leaves the old record or the
// new one, never a mix, and the rest of the file as it was.
TEST(SettingsFile, AStoreKilledAtAnyMomentLeavesTheOldOrTheNewRecord)
{
    TempDir dir;
    const std::string path = settings_path(dir.path().string());
    const std::string first = bytes_of(kLoopFirst);
    const std::string second = bytes_of(kLoopSecond);
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> wait_microseconds(0, kLongestWaitMicroseconds);
    int firsts = 0;
    int seconds = 0;

    for (int kill = 0; kill < kKills; ++kill) {
        write_file(path, first + kTail);
        ChildProcess writer({PELLAVIN_STORE_LOOP, path}, {});
        // Its first store has landed once the second record shows.
        const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
        while (read_file(path).substr(0, first.size()) != second) {
            ASSERT_TRUE(writer.running()) << "the store loop ended by itself";
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the store loop never stored";
        }
        std::this_thread::sleep_for(std::chrono::microseconds(wait_microseconds(random)));
        writer.send(SIGKILL);
        const int status = writer.wait();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;

        const std::string left = read_file(path);
        ASSERT_EQ(left.size(), first.size() + kTail.size()) << "kill " << kill << ", seed " << seed;
        EXPECT_EQ(left.substr(first.size()), kTail) << "kill " << kill << ", seed " << seed;
        const std::string record = left.substr(0, first.size());
        ASSERT_TRUE(record == first || record == second) << "a mix after kill " << kill << ", seed " << seed;
        ++(record == first ? firsts : seconds);
    }
    // Kills landed on both sides of a store, so they did fall during the loop.
    EXPECT_GT(firsts, 0);
    EXPECT_GT(seconds, 0);
}

}  // namespace
}  // namespace pellavin::testing
