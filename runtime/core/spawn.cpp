#include "runtime/core/spawn.h"

#include "runtime/core/runtime_error.h"

#include <csignal>
#include <spawn.h>

extern char** environ;

namespace pellavin::runtime {

pid_t spawn_program(const std::string& path, const std::vector<std::string>& arguments)
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGCHLD, SIGPIPE, SIGHUP, SIGINT, SIGTERM}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> words = {path};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int err = posix_spawn(&pid, path.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (err != 0) throw os_error(path, err);
    return pid;
}

}  // namespace pellavin::runtime
