#pragma once

#include <functional>

namespace pellavin::screen {

// The signals that end a program at once: SIGTERM (a session's end, a
// screensaver framework done with its saver), SIGINT (Ctrl+C) and SIGHUP.
// They are taken through a descriptor that the loop waits on, so that they
// arrive between events; the program then dies of the signal itself, with
// the status a shell expects of it, whatever its parent had set them to.
class EndSignals {
public:
    EndSignals();
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    int fd() const { return fd_; }
    // The descriptor was readable: runs `before_end`, then ends the program
    // by the signal that came.
    [[noreturn]] void end();

    // What must go with the program (a message box it started, say).
    std::function<void()> before_end;

private:
    int fd_;
};

}  // namespace pellavin::screen
