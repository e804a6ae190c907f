#pragma once

#include <string>

namespace pellavin::idle {

// One watcher to a session: an exclusive lock on a file named after the
// session in the user's runtime directory (without a private one, in
// pellavin/ in their cache directory, made 0700). The kernel drops it when
// the process ends, however it ends.
class SessionLock {
public:
    enum class State { Taken, HeldElsewhere, Failed };

    explicit SessionLock(const std::string& session_key);
    ~SessionLock();
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    State state() const { return state_; }
    const std::string& path() const { return path_; }
    // Why it failed, when it did.
    const std::string& problem() const { return problem_; }

private:
    std::string path_;
    int fd_ = -1;
    State state_ = State::Failed;
    std::string problem_;
};

}  // namespace pellavin::idle
