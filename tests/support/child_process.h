#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace pellavin::testing {

// A program started as a real second process, its standard error kept in a
// file, its output dropped. One still running when the object goes is killed.
class ChildProcess {
public:
    struct Options {
        std::string error_file = "/dev/null";
        std::vector<std::string> environment;  // NAME=value, added to ours
        bool unprivileged = false;             // run as as_unprivileged_user() does
    };

    ChildProcess(const std::vector<std::string>& argv, const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // True until the process has ended; then wait() returns at once.
    bool running();
    void send(int signal);
    // The wait status (see waitpid) once the process has ended.
    int wait();

private:
    pid_t pid_;
    bool ended_ = false;
    int status_ = 0;
};

// Runs a program to its end and returns its wait status.
int run_to_end(const std::vector<std::string>& argv);

}  // namespace pellavin::testing
