#pragma once

namespace pellavin::screen {

class EndSignals;
class TickClock;

// A window system's connection, as the loop waits on it.
class Connection {
public:
    virtual ~Connection() = default;
    virtual int fd() const = 0;
    // Sends what is queued; called before the loop sleeps.
    virtual void flush() = 0;
    // Handles everything that has come; false once the connection has gone.
    virtual bool dispatch() = 0;
};

// The one loop of a full-screen program: it sleeps until the window system
// says something, the tick is due or an ending signal comes, and wakes for
// nothing else.
class EventLoop {
public:
    EventLoop(Connection& connection, TickClock& clock, EndSignals& signals);

    // Runs until the connection has gone.
    void run();

    // One wait of at most `timeout_ms` (-1: as long as it takes), and what
    // came in it. False once the connection has gone.
    bool turn(int timeout_ms);

private:
    Connection& connection_;
    TickClock& clock_;
    EndSignals& signals_;
};

}  // namespace pellavin::screen
