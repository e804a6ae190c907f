#include "idle/screensaver_service.h"
#include "tests/idle/private_bus.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <poll.h>
#include <thread>

namespace pellavin::idle {
namespace {

using namespace std::chrono_literals;

constexpr char kName[] = "org.freedesktop.ScreenSaver";
constexpr char kInterface[] = "org.freedesktop.ScreenSaver";

class ScreenSaverServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus_.up()) << "dbus-daemon did not start"; }

    std::unique_ptr<ScreenSaverService> start_service()
    {
        auto service = std::make_unique<ScreenSaverService>([this](const std::string& line) { said_.push_back(line); });
        service->on_held = [this](bool held) { holds_.push_back(held); };
        return service;
    }

    // Another program on the bus.
    static sd_bus* connect()
    {
        sd_bus* bus = nullptr;
        EXPECT_GE(sd_bus_open_user(&bus), 0);
        return bus;
    }

    // Runs `call` on another thread, serving the bus meanwhile, as the
    // watcher's loop would.
    template <typename Call> auto while_serving(ScreenSaverService& service, Call call)
    {
        auto result = std::async(std::launch::async, call);
        while (result.wait_for(0ms) != std::future_status::ready) serve(service, 10ms);
        return result.get();
    }

    static void serve(ScreenSaverService& service, std::chrono::milliseconds time)
    {
        const auto until = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < until && service.fd() >= 0) {
            pollfd fd{service.fd(), service.events(), 0};
            poll(&fd, 1, 5);
            service.process();
        }
    }

    static uint32_t inhibit(sd_bus* bus, const char* path)
    {
        sd_bus_message* reply = nullptr;
        uint32_t cookie = 0;
        EXPECT_GE(sd_bus_call_method(bus, kName, path, kInterface, "Inhibit", nullptr, &reply, "ss", "player",
                      "a film"), 0);
        if (reply) {
            EXPECT_GE(sd_bus_message_read(reply, "u", &cookie), 0);
        }
        sd_bus_message_unref(reply);
        return cookie;
    }

    static std::string owner(sd_bus* bus)
    {
        const char* name = nullptr;
        sd_bus_creds* creds = nullptr;
        if (sd_bus_get_name_creds(bus, kName, SD_BUS_CREDS_UNIQUE_NAME, &creds) < 0) return "";
        sd_bus_creds_get_unique_name(creds, &name);
        std::string unique = name ? name : "";
        sd_bus_creds_unref(creds);
        return unique;
    }

    testing::PrivateBus bus_;
    std::vector<std::string> said_;
    std::vector<bool> holds_;
};

TEST_F(ScreenSaverServiceTest, AHoldLastsUntilItsCookieComesBackOrItsCallerLeaves)
{
    auto service = start_service();
    ASSERT_GE(service->fd(), 0) << (said_.empty() ? "" : said_[0]);
    sd_bus* player = connect();
    sd_bus* slides = connect();

    const uint32_t film = while_serving(*service, [&] { return inhibit(player, "/ScreenSaver"); });
    while_serving(*service, [&] { return inhibit(slides, "/org/freedesktop/ScreenSaver"); });
    EXPECT_EQ(holds_, std::vector<bool>{true});

    while_serving(*service, [&] {
        return sd_bus_call_method(player, kName, "/ScreenSaver", kInterface, "UnInhibit", nullptr, nullptr, "u", film);
    });
    EXPECT_EQ(holds_, std::vector<bool>{true}) << "the other hold still stands";

    sd_bus_flush_close_unref(slides);
    for (int i = 0; i < 200 && holds_.size() < 2; ++i) serve(*service, 10ms);
    EXPECT_EQ(holds_, (std::vector<bool>{true, false})) << "the hold of a caller that left ends";
    sd_bus_flush_close_unref(player);
}

TEST_F(ScreenSaverServiceTest, TheNameOfAnotherProgramIsLeftAlone)
{
    sd_bus* desktop = connect();
    ASSERT_GE(sd_bus_request_name(desktop, kName, 0), 0);
    auto service = start_service();
    EXPECT_EQ(service->fd(), -1);
    ASSERT_EQ(said_.size(), 1u);
    EXPECT_NE(said_[0].find("belongs to another program"), std::string::npos) << said_[0];

    const char* unique = nullptr;
    sd_bus_get_unique_name(desktop, &unique);
    EXPECT_EQ(owner(desktop), unique);
    sd_bus_flush_close_unref(desktop);
}

TEST_F(ScreenSaverServiceTest, AProgramThatTakesTheNameOverGetsItAndTheHoldsMadeHereEnd)
{
    auto service = start_service();
    sd_bus* player = connect();
    while_serving(*service, [&] { return inhibit(player, "/ScreenSaver"); });

    sd_bus* desktop = connect();
    ASSERT_GE(while_serving(*service, [&] { return sd_bus_request_name(desktop, kName, SD_BUS_NAME_REPLACE_EXISTING); }),
        0);
    for (int i = 0; i < 200 && service->fd() >= 0; ++i) serve(*service, 10ms);
    EXPECT_EQ(service->fd(), -1);
    EXPECT_EQ(holds_, (std::vector<bool>{true, false}));
    const char* unique = nullptr;
    sd_bus_get_unique_name(desktop, &unique);
    EXPECT_EQ(owner(player), unique);
    sd_bus_flush_close_unref(player);
    sd_bus_flush_close_unref(desktop);
}

}  // namespace
}  // namespace pellavin::idle
