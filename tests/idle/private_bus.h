#pragma once

#include "idle/bus/bus_call.h"
#include "idle/bus/bus_connection.h"
#include "idle/rules/say_once.h"
#include "idle/rules/timers.h"
#include "tests/support/dbus_daemon.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
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
        setenv(variable, daemon_.address().c_str(), 1);
    }

    bool up() const { return daemon_.up(); }

private:
    pellavin::testing::DbusDaemon daemon_;
};

// Another program on one of the test's buses, served on a thread of its
// own, or stalled: on the bus, but never answering. What it is to do (put
// objects there, take a name, send a signal) goes to its thread.
class BusProgram {
public:
    explicit BusProgram(BusConnection::Kind kind = BusConnection::Kind::Session, bool stalled = false)
    {
        EXPECT_GE(kind == BusConnection::Kind::Session ? sd_bus_open_user(&bus_) : sd_bus_open_system(&bus_), 0);
        if (stalled) return;
        thread_ = std::thread([this] {
            while (!stop_) {
                while (sd_bus_process(bus_, nullptr) > 0) {
                }
                std::vector<std::packaged_task<void()>> steps;
                {
                    std::lock_guard lock(mutex_);
                    steps.swap(steps_);
                }
                for (auto& step : steps) step();
                sd_bus_wait(bus_, 10'000);
            }
        });
    }
    ~BusProgram() { leave(); }

    void leave()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (bus_) sd_bus_flush_close_unref(bus_);
        bus_ = nullptr;
    }

    // Done once its thread has taken it.
    std::future<void> on_thread(std::function<void()> step)
    {
        std::packaged_task<void()> task(std::move(step));
        std::future<void> done = task.get_future();
        if (!thread_.joinable()) {
            task();
        } else {
            std::lock_guard lock(mutex_);
            steps_.push_back(std::move(task));
        }
        return done;
    }
    void serve(const char* path, const char* interface, const sd_bus_vtable* vtable, void* data)
    {
        on_thread([=, this] { sd_bus_add_object_vtable(bus_, nullptr, path, interface, vtable, data); }).wait();
    }
    void own(const char* name)
    {
        on_thread([=, this] { EXPECT_GE(sd_bus_request_name(bus_, name, 0), 0); }).wait();
    }

    sd_bus* bus() const { return bus_; }

private:
    sd_bus* bus_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    std::mutex mutex_;
    std::vector<std::packaged_task<void()>> steps_;
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
