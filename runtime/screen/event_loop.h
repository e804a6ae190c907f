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

// Something else the loop waits on, beside the window system.
class Watched {
public:
    virtual ~Watched() = default;
    // -1: nothing to wait for now.
    virtual int fd() const = 0;
    virtual short events() const = 0;
    // The descriptor is ready, or more_to_do() said so.
    virtual void dispatch() = 0;
    // What dispatch() left for the next turn, which then comes at once.
    virtual bool more_to_do() const { return false; }
};

// The one loop of a full-screen program: it sleeps until the window system
// says something, the tick is due, an ending signal comes or what else it
// watches is ready, and wakes for nothing else.
class EventLoop {
public:
    EventLoop(Connection& connection, TickClock& clock, EndSignals& signals);

    // One wait of at most `timeout_ms` (-1: as long as it takes), and what
    // came in it. False once the connection has gone.
    bool turn(int timeout_ms);

    // Waits on `more` too from now on; nullptr: on nothing more.
    void watch(Watched* more) { more_ = more; }

private:
    Connection& connection_;
    TickClock& clock_;
    EndSignals& signals_;
    Watched* more_ = nullptr;
};

}  // namespace pellavin::screen
