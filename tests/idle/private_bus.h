#pragma once

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace pellavin::idle::testing {

// A session bus of the test's own, a real dbus-daemon, which the process
// and the programs it starts reach through DBUS_SESSION_BUS_ADDRESS.
class PrivateBus {
public:
    PrivateBus()
    {
        using namespace std::chrono_literals;
        const std::string socket = dir_.file("bus");
        daemon_ = std::make_unique<pellavin::testing::ChildProcess>(std::vector<std::string>{"dbus-daemon",
            "--session", "--nofork", "--address=unix:path=" + socket}, pellavin::testing::ChildProcess::Options{});
        for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i) std::this_thread::sleep_for(50ms);
        up_ = std::filesystem::exists(socket);
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
    }

    bool up() const { return up_; }

private:
    pellavin::testing::TempDir dir_;
    std::unique_ptr<pellavin::testing::ChildProcess> daemon_;
    bool up_ = false;
};

}  // namespace pellavin::idle::testing
