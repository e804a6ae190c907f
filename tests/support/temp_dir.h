#pragma once

#include <filesystem>
#include <string>

namespace pellavin::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Whole-file helpers for checking what a program left on disk.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

// Root ignores file permissions; tests of refused access skip as root.
bool running_as_root();

}  // namespace pellavin::testing

#include <functional>

namespace pellavin::testing {

// Runs `body` in a child process as an unprivileged user (nobody, when this
// process is root), so that file permissions apply; returns what it returned.
int as_unprivileged_user(const std::function<int()>& body);

// The same, for a body that describes what it saw: returns that text.
std::string seen_as_unprivileged_user(const std::function<std::string()>& body);

// Makes the user of as_unprivileged_user() the owner of `path`, so that its
// owner's permission bits are the ones that apply.
void give_to_unprivileged_user(const std::string& path);

// Turns this process into that unprivileged user when it is root; false
// when that fails. For a child process, between fork and exec.
bool become_unprivileged_user();

}  // namespace pellavin::testing
