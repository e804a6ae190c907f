#include "child.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace pellavin::bench {

Child::Child(std::vector<char*>& command)
{
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        execvp(command[0], command.data());
        std::fprintf(stderr, "bench_probe: %s: %s\n", command[0], std::strerror(errno));
        _exit(127);
    }
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd_ < 0) {
        const int error = errno;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        throw std::runtime_error(std::string("pidfd_open: ") + std::strerror(error));
    }
}

Child::~Child()
{
    if (status_) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

std::optional<int> Child::wait_exit(double timeout_ms)
{
    pollfd gone{pidfd_, POLLIN, 0};
    if (poll(&gone, 1, static_cast<int>(timeout_ms)) <= 0) return std::nullopt;
    int status = 0;
    waitpid(pid_, &status, 0);
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
}

}  // namespace pellavin::bench
