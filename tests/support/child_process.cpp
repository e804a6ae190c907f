#include "tests/support/child_process.h"

#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace pellavin::testing {
namespace {

// In the child, between fork and exec (the tests that fork run one thread).
[[noreturn]] void become(const std::vector<std::string>& argv, const ChildProcess::Options& options)
{
    const int output_fd = ::open("/dev/null", O_WRONLY);
    const int error_fd = ::open(options.error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (output_fd < 0 || error_fd < 0 || dup2(output_fd, STDOUT_FILENO) < 0 || dup2(error_fd, STDERR_FILENO) < 0) {
        _exit(126);
    }
    if (options.unprivileged && !become_unprivileged_user()) _exit(126);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    for (const std::string& setting : options.environment) putenv(const_cast<char*>(setting.c_str()));
    execvp(args[0], args.data());
    _exit(127);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options)
    : pid_(fork())
{
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) become(argv, options);
}

ChildProcess::~ChildProcess()
{
    if (running()) send(SIGKILL);
    wait();
}

bool ChildProcess::running()
{
    if (!ended_ && waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
    return !ended_;
}

void ChildProcess::send(int signal)
{
    if (!ended_) kill(pid_, signal);
}

int ChildProcess::wait()
{
    if (!ended_ && waitpid(pid_, &status_, 0) == pid_) ended_ = true;
    return status_;
}

int run_to_end(const std::vector<std::string>& argv)
{
    ChildProcess child(argv, {});
    return child.wait();
}

}  // namespace pellavin::testing
