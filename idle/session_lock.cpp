#include "idle/session_lock.h"

#include "common/settings_location.h"
#include "runtime/core/runtime_error.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellavin::idle {
namespace {

// A directory of the user's alone: no other user could take the lock's
// name first, or take it away.
bool private_directory(const char* path)
{
    struct stat info {};
    return path != nullptr && path[0] == '/' && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode)
        && info.st_uid == getuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The session's runtime directory, else the user's cache, made private.
std::string lock_directory()
{
    const char* runtime_dir = std::getenv("XDG_RUNTIME_DIR");
    if (private_directory(runtime_dir)) return runtime_dir;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::string directory = (cache && cache[0] == '/' ? std::string(cache)
                                      : std::string(home && home[0] == '/' ? home : "") + "/.cache")
        + "/pellavin";
    make_private_directories(directory);
    if (!private_directory(directory.c_str())) {
        throw runtime::RuntimeError(runtime::error_number::kPermissionDenied, directory + ": not private to this user");
    }
    return directory;
}

}  // namespace

SessionLock::SessionLock(const std::string& session_key)
{
    try {
        path_ = lock_directory() + "/pellavin-idle-" + session_key + ".lock";
    } catch (const runtime::RuntimeError& error) {
        problem_ = error.detail();
        return;
    }
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        problem_ = path_ + ": " + std::strerror(errno);
        return;
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        state_ = State::Taken;
    } else if (errno == EWOULDBLOCK) {
        state_ = State::HeldElsewhere;
    } else {
        problem_ = path_ + ": " + std::strerror(errno);
    }
}

SessionLock::~SessionLock()
{
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace pellavin::idle
