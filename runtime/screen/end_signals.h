#pragma once

namespace pellavin::screen {

// The signals that end a program at once: SIGTERM (a session's end, a
// screensaver framework done with its saver), SIGINT (Ctrl+C) and SIGHUP.
// They are taken through a descriptor that the loop waits on, so that they
// arrive between events; the program then dies of the signal itself, with
// the status a shell expects of it, whatever its parent had set them to.
// SIGPIPE is ignored: a peer that has gone is the connection's error.
class EndSignals {
public:
    EndSignals();
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    int fd() const { return fd_; }
    // The descriptor was readable: ends the program by the signal that came.
    [[noreturn]] void end();

private:
    int fd_;
};

}  // namespace pellavin::screen
