#include "idle/session_lock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pellavin::idle {

SessionLock::SessionLock(const std::string& session_key)
{
    // Without a runtime directory the shared one serves, the user's own
    // number keeping users apart.
    const char* runtime_dir = std::getenv("XDG_RUNTIME_DIR");
    path_ = runtime_dir && *runtime_dir
        ? std::string(runtime_dir) + "/pellavin-idle-" + session_key + ".lock"
        : "/tmp/pellavin-idle-" + std::to_string(getuid()) + "-" + session_key + ".lock";
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
