#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <poll.h>
#include <string>

namespace pellavin::idle {

using Milliseconds = std::chrono::milliseconds;

// Where the watcher learns that the session has been left alone: the X
// server's idle time or the Wayland compositor's idle notifications.
class IdleSource {
public:
    // Where the count of a delay begins. The session's last input always
    // begins it anew; FromNow also begins it at the call, for moments that
    // count as input although nobody touched anything (a game that ended by
    // itself, a hold that was released); AfterInput only at the next input
    // (the user back after the desktop's blank or lock).
    enum class Count { FromLastInput, FromNow, AfterInput };

    virtual ~IdleSource() = default;

    // Replaces any earlier watch: on_idle runs once the session has had no
    // input for `delay` while nothing held the screensaver off, and after
    // that only once input has come and another full delay has passed.
    virtual void watch(Milliseconds delay, Count count) = 0;
    // No more on_idle until the next watch().
    virtual void stop() = 0;
    // How long the session has had no input, when the source can tell;
    // `answer` may run later.
    virtual void idle_time(std::function<void(std::optional<Milliseconds>)> answer) { answer(std::nullopt); }

    std::function<void()> on_idle;
};

// An idle source that is a connection to the session: the watcher's event
// loop waits on its descriptor.
class SessionIdleSource : public IdleSource {
public:
    int fd() const { return fd_; }
    // What to wait for on fd(), and for how long at most before dispatch()
    // is due even without it (-1: no limit).
    virtual short events() const { return POLLIN; }
    virtual int timeout_ms() const { return -1; }
    // Sends what is queued; called before the loop waits.
    virtual void flush() = 0;
    // Handles what the session sent; false once it has gone.
    virtual bool dispatch() = 0;

    // What went wrong on the way, one line each; the source goes on.
    std::function<void(const std::string& line)> say;
    // The display server has blanked the screen itself, or no longer has
    // (the X server's screen saver, DPMS); not every server tells.
    std::function<void(bool blanked)> on_blanked;
    // A screensaver of the display server's own (xscreensaver on an X
    // server) runs, now, or from the moment on_screensaver_daemon runs.
    virtual bool screensaver_daemon() const { return false; }
    std::function<void()> on_screensaver_daemon;

protected:
    int fd_ = -1;
};

}  // namespace pellavin::idle
