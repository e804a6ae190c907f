#include "common/settings.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace pellavin::testing {
namespace {

namespace fs = std::filesystem;

constexpr auto kStartDeadline = std::chrono::seconds(60);
constexpr auto kPollInterval = std::chrono::milliseconds(50);
constexpr size_t kMegabyte = 1 << 20;

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// What a copy of the real runner did with the Settings.dat beside it.
struct RunnerRun {
    bool showed_window = false;
    int status = 0;  // how it ended, after SIGTERM once its window showed
    std::vector<std::string> error_lines;
    bool made_own_settings = false;  // anything under the user's configuration directory
};

// Starts a copy of the runner in `dir` as the unprivileged user, on the X
// server of DISPLAY, waits for its window and ends it with SIGTERM.
RunnerRun run_runner_in(const TempDir& dir)
{
    const std::string program = dir.file("PellavinRun");
    fs::copy_file(PELLAVIN_RUNNER, program);
    TempDir home;  // Qt's runtime directory must belong to the user
    give_to_unprivileged_user(home.path().string());
    TempDir errors;
    const std::string error_file = errors.file("stderr");

    RunnerRun run;
    const std::string home_path = home.path().string();
    ChildProcess runner({program}, {error_file, {"XDG_RUNTIME_DIR=" + home_path, "HOME=" + home_path}, true});
    const std::string pid = std::to_string(runner.pid());
    const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
    while (runner.running() && std::chrono::steady_clock::now() < deadline) {
        if (WEXITSTATUS(run_to_end({"xdotool", "search", "--onlyvisible", "--pid", pid})) == 0) {
            run.showed_window = true;
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    runner.send(SIGTERM);
    run.status = runner.wait();
    run.error_lines = lines_of(read_file(error_file));
    run.made_own_settings = fs::exists(home.path() / ".config");
    return run;
}

// A settings file in some shape, for the runner to start on.
struct StartCase {
    const char* name;
    std::function<void(const std::string& path)> make;  // nothing made: no file
    mode_t dir_mode;
    const char* reason;  // nullptr: the runner says nothing
};

TEST(RunnerStart, StartsWhateverTheSettingsFileAndSaysOnceWhyItCannotUseIt)
{
    const auto file_of = [](std::string contents, mode_t mode = 0644) {
        return [contents, mode](const std::string& path) {
            write_file(path, contents);
            chmod(path.c_str(), mode);
        };
    };
    const StartCase cases[] = {
        {"no file", nullptr, 0755, nullptr},
        {"an empty file", file_of(""), 0755, nullptr},
        {"one byte", file_of("\x01"), 0755, nullptr},
        {"eleven bytes", file_of(std::string(11, '\xFF')), 0755, nullptr},
        {"twelve bytes", file_of(std::string(12, '\x01')), 0755, nullptr},
        {"a megabyte", file_of(std::string(kMegabyte, '\x01')), 0755, nullptr},
        {"a directory", [](const std::string& path) { fs::create_directory(path); }, 0755, "a directory"},
        {"a named pipe", [](const std::string& path) { mkfifo(path.c_str(), 0666); }, 0755, "not a regular file"},
        {"an unreadable file", file_of(std::string(12, '\0'), 0000), 0755, "Permission denied"},
        {"a read-only file", file_of(std::string(12, '\0'), 0444), 0755, nullptr},
        {"a file in a read-only directory", file_of(std::string(12, '\0')), 0555, nullptr},
        // A user's own file stands in, and the runner never creates it.
        {"no file in a read-only directory", nullptr, 0555, nullptr},
    };
    for (const StartCase& c : cases) {
        TempDir dir;
        const std::string path = settings_path(dir.path().string());
        if (c.make) {
            c.make(path);
            give_to_unprivileged_user(path);
        }
        const fs::file_type made = fs::symlink_status(path).type();
        const std::string before = made == fs::file_type::regular ? read_file(path) : std::string();
        give_to_unprivileged_user(dir.path().string());
        chmod(dir.path().c_str(), c.dir_mode);

        const RunnerRun run = run_runner_in(dir);
        EXPECT_TRUE(run.showed_window) << c.name;
        EXPECT_FALSE(run.made_own_settings) << c.name;
        EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGTERM)
            << c.name << ": the runner ended before it was told to, status " << run.status;
        if (c.reason == nullptr) {
            EXPECT_TRUE(run.error_lines.empty()) << c.name << ": " << run.error_lines.front();
        } else {
            ASSERT_EQ(run.error_lines.size(), 1u) << c.name;
            const std::string& line = run.error_lines.front();
            EXPECT_NE(line.find("default settings"), std::string::npos) << c.name << ": " << line;
            EXPECT_NE(line.find(path), std::string::npos) << c.name << ": " << line;
            EXPECT_NE(line.find(c.reason), std::string::npos) << c.name << ": " << line;
        }

        chmod(dir.path().c_str(), 0700);
        if (c.make) {
            EXPECT_EQ(fs::symlink_status(path).type(), made) << c.name;
            if (made == fs::file_type::regular) {
                EXPECT_TRUE(read_file(path) == before) << c.name << ": the runner changed it";
            }
        } else if (c.dir_mode == 0755) {
            EXPECT_TRUE(fs::is_regular_file(path) && fs::file_size(path) == 0) << c.name << ": no empty file made";
        }
    }
}

}  // namespace
}  // namespace pellavin::testing
