#pragma once

#include "idle/rules/idle_rules.h"

#include <string>
#include <sys/types.h>

namespace pellavin::idle {

// The game runner of the watcher's directory, started as the control
// panel's Preview starts it, or found already running (a Preview's, or one
// started by hand). Either is watched through a pidfd until it ends.
class RunnerProcess final : public GameStarter {
public:
    explicit RunnerProcess(std::string path);
    ~RunnerProcess() override;
    RunnerProcess(const RunnerProcess&) = delete;
    RunnerProcess& operator=(const RunnerProcess&) = delete;

    Result start() override;
    void end() override;
    bool any_running() override;

    // Readable once the watched runner has ended; -1 while none is watched.
    int fd() const { return pidfd_; }
    // Once fd() is readable: reaps the runner when it is ours, forgets it.
    void ended();

private:
    std::string path_;
    int pidfd_ = -1;
    pid_t child_ = 0;  // 0 when the runner is not ours to reap
};

}  // namespace pellavin::idle
