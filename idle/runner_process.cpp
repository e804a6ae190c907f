#include "idle/runner_process.h"

#include "runtime/core/runtime_error.h"
#include "runtime/core/spawn.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pellavin::idle {
namespace {

int pidfd_open(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

int pidfd_send_signal(int pidfd, int signal)
{
    return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}

bool runs_program(pid_t pid, const std::string& path)
{
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    char target[4096];
    const ssize_t length = readlink(link.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target) return false;
    const std::string program(target, static_cast<size_t>(length));
    return program == path || program == path + " (deleted)";
}

// A pidfd of a running process whose program is `path` (a program deleted
// or replaced since it started included), or -1 when there is none. Only
// the user's own processes show their program.
int open_running_program(const std::string& path)
{
    std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
    if (!proc) return -1;
    const pid_t self = getpid();
    while (const dirent* entry = readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self || !runs_program(static_cast<pid_t>(pid), path)) continue;
        // Asked again once the pidfd holds the process: the number may have
        // gone to another one in between.
        const int pidfd = pidfd_open(static_cast<pid_t>(pid));
        if (pidfd < 0) continue;
        if (runs_program(static_cast<pid_t>(pid), path)) return pidfd;
        ::close(pidfd);
    }
    return -1;
}

}  // namespace

RunnerProcess::RunnerProcess(std::string path)
    : path_(std::move(path))
{
}

RunnerProcess::~RunnerProcess()
{
    if (pidfd_ >= 0) ::close(pidfd_);
}

bool RunnerProcess::any_running()
{
    if (pidfd_ >= 0) return true;
    const int pidfd = open_running_program(path_);
    if (pidfd < 0) return false;
    ::close(pidfd);
    return true;
}

GameStarter::Result RunnerProcess::start()
{
    pidfd_ = open_running_program(path_);
    if (pidfd_ >= 0) return {Outcome::AlreadyRunning, {}};
    pid_t pid = 0;
    try {
        pid = runtime::spawn_program(path_);
    } catch (const runtime::RuntimeError& error) {
        return {Outcome::Failed, error.detail()};
    }
    // Not reaped yet, the child keeps its number even if it has ended.
    pidfd_ = pidfd_open(pid);
    if (pidfd_ < 0) {
        const std::string reason = std::strerror(errno);
        waitpid(pid, nullptr, WNOHANG);
        return {Outcome::Failed, path_ + " started, but cannot be watched: " + reason};
    }
    child_ = pid;
    return {Outcome::Started, {}};
}

// The game ends at once on SIGTERM, as a framework ends it.
void RunnerProcess::end()
{
    if (child_ > 0 && pidfd_ >= 0) pidfd_send_signal(pidfd_, SIGTERM);
}

void RunnerProcess::ended()
{
    if (child_ > 0) waitpid(child_, nullptr, 0);
    child_ = 0;
    if (pidfd_ >= 0) ::close(pidfd_);
    pidfd_ = -1;
}

}  // namespace pellavin::idle
