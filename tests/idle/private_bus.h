#pragma once

#include "idle/bus_call.h"
#include "idle/bus_connection.h"
#include "idle/say_once.h"
#include "idle/timers.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

namespace pellavin::idle::testing {

using namespace std::chrono_literals;

// A bus of the test's own, a real dbus-daemon, which the process and the
// programs it starts reach through DBUS_SESSION_BUS_ADDRESS (or, as the
// system bus, DBUS_SYSTEM_BUS_ADDRESS).
class PrivateBus {
public:
    explicit PrivateBus(const char* variable = "DBUS_SESSION_BUS_ADDRESS")
    {
        const std::string socket = dir_.file("bus");
        daemon_ = std::make_unique<pellavin::testing::ChildProcess>(std::vector<std::string>{"dbus-daemon",
            "--session", "--nofork", "--address=unix:path=" + socket}, pellavin::testing::ChildProcess::Options{});
        for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i) std::this_thread::sleep_for(50ms);
        up_ = std::filesystem::exists(socket);
        setenv(variable, ("unix:path=" + socket).c_str(), 1);
    }

    bool up() const { return up_; }

private:
    pellavin::testing::TempDir dir_;
    std::unique_ptr<pellavin::testing::ChildProcess> daemon_;
    bool up_ = false;
};

inline std::string unique_name(sd_bus* bus)
{
    const char* name = nullptr;
    return bus && sd_bus_get_unique_name(bus, &name) >= 0 && name ? name : "";
}

// The watcher's side of a bus: its one connection, its timers and what it
// said, served as the watcher's loop serves them.
struct WatcherBus {
    explicit WatcherBus(BusConnection::Kind kind = BusConnection::Kind::Session)
        : connection(kind)
    {
    }

    // Until `done` or `time` has passed; returns how often it woke.
    template <typename Done> int serve(Done done, std::chrono::milliseconds time = 1s)
    {
        int wakes = 0;
        const auto until = std::chrono::steady_clock::now() + time;
        while (!done()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left <= 0ms) break;
            int timeout = static_cast<int>(left.count());
            for (int due : {connection.timeout_ms(), timers.timeout_ms()}) {
                if (due >= 0 && due < timeout) timeout = due;
            }
            pollfd fd{connection.fd(), connection.events(), 0};
            poll(&fd, 1, timeout);
            ++wakes;
            alive = connection.process() && alive;
            timers.run_due();
        }
        return wakes;
    }

    BusConnection connection;
    Timers timers;
    std::vector<std::string> said;
    SayOnce say{[this](const std::string& line) { said.push_back(line); }};
    BusContext context{connection, timers, say, 300ms};
    bool alive = true;
};

}  // namespace pellavin::idle::testing
