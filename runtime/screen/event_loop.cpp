#include "runtime/screen/event_loop.h"

#include "runtime/screen/end_signals.h"
#include "runtime/screen/tick_clock.h"

#include <cerrno>
#include <poll.h>

namespace pellavin::screen {

EventLoop::EventLoop(Connection& connection, TickClock& clock, EndSignals& signals)
    : connection_(connection)
    , clock_(clock)
    , signals_(signals)
{
}

bool EventLoop::turn(int timeout_ms)
{
    connection_.flush();
    pollfd fds[] = {{signals_.fd(), POLLIN, 0}, {connection_.fd(), POLLIN, 0}, {clock_.fd(), POLLIN, 0},
        {more_ ? more_->fd() : -1, more_ ? more_->events() : short{0}, 0}};
    const bool more_to_do = more_ && more_->more_to_do();
    if (poll(fds, 4, more_to_do ? 0 : timeout_ms) < 0) return errno == EINTR;
    if (fds[0].revents != 0) signals_.end();
    // The window system first: a key that ends the game must not wait for a tick.
    if (fds[1].revents != 0 && !connection_.dispatch()) return false;
    if (fds[3].revents != 0 || more_to_do) more_->dispatch();
    if (fds[2].revents != 0) clock_.wake();
    return true;
}

}  // namespace pellavin::screen
