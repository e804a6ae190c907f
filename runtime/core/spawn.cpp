#include "runtime/core/spawn.h"

#include "runtime/core/runtime_error.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pellavin::runtime {
namespace {

class SpawnAttributes {
public:
    explicit SpawnAttributes(short extra_flags)
    {
        posix_spawnattr_init(&attributes_);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int signal : {SIGCHLD, SIGPIPE, SIGHUP, SIGINT, SIGTERM}) sigaddset(&defaults, signal);
        posix_spawnattr_setsigdefault(&attributes_, &defaults);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | extra_flags);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    const posix_spawnattr_t* get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

}  // namespace

pid_t spawn_program(const std::string& path, const std::vector<std::string>& arguments)
{
    const SpawnAttributes attributes(0);
    std::vector<std::string> words = {path};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int err = posix_spawn(&pid, path.c_str(), nullptr, attributes.get(), argv.data(), environ);
    if (err != 0) throw os_error(path, err);
    return pid;
}

void spawn_detached(const std::string& path, const std::vector<std::string>& environment)
{
    const SpawnAttributes attributes(POSIX_SPAWN_SETSID);
    std::string program = path;
    char* argv[] = {program.data(), nullptr};
    std::vector<std::string> variables = environment;
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) throw os_error(path, errno);

    // A go-between starts the program and leaves at once, so the program's
    // parent is the system's, not this process. The go-between only spawns,
    // writes and exits: this process may have threads.
    const pid_t go_between = fork();
    if (go_between == 0) {
        pid_t pid = 0;
        const int err = posix_spawn(&pid, program.c_str(), nullptr, attributes.get(), argv, envp.data());
        const bool told = write(report[1], &err, sizeof err) == static_cast<ssize_t>(sizeof err);
        _exit(told ? 0 : 1);
    }
    const int fork_error = errno;
    ::close(report[1]);
    int err = go_between < 0 ? fork_error : EIO;
    // The pipe, not the exit status: a process that lets the system reap
    // its children cannot read one.
    while (go_between > 0 && read(report[0], &err, sizeof err) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    while (go_between > 0 && waitpid(go_between, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (err != 0) throw os_error(path, err);
}

std::vector<std::string> current_environment()
{
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) variables.emplace_back(*variable);
    return variables;
}

}  // namespace pellavin::runtime
