#pragma once

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <csignal>
#include <string>

namespace pellavin::testing {

// A bus of the test's own: a real dbus-daemon on a socket in a fresh
// directory. Once constructed it takes connections, or up() says it never
// came: its socket file exists a moment before the daemon listens on it,
// and a busy machine makes that moment long.
class DbusDaemon {
public:
    DbusDaemon();

    bool up() const { return up_; }
    const std::string& address() const { return address_; }
    // The bus goes, as at a session's end.
    void end() { daemon_.send(SIGTERM); }

private:
    TempDir dir_;
    std::string socket_ = dir_.file("bus");
    std::string address_ = "unix:path=" + socket_;
    ChildProcess daemon_{{"dbus-daemon", "--session", "--nofork", "--address=" + address_}, {}};
    bool up_ = false;
};

}  // namespace pellavin::testing
