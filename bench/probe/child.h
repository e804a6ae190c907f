#pragma once

#include <sys/types.h>

#include <optional>
#include <vector>

namespace pellavin::bench {

// The measured program, a child of the probe. Its pidfd becomes readable
// the moment it has exited; one still running when this goes is killed.
class Child {
public:
    // `command` ends with a null pointer. Throws when it cannot start.
    explicit Child(std::vector<char*>& command);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    int pidfd() const { return pidfd_; }

    // Waits up to `timeout_ms` for the exit; its status, or nothing.
    std::optional<int> wait_exit(double timeout_ms);

private:
    pid_t pid_ = 0;
    int pidfd_ = -1;
    std::optional<int> status_;
};

}  // namespace pellavin::bench
