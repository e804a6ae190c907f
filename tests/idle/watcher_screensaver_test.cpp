#include "idle/desktops/session_desktop.h"
#include "idle/holds/hold_hand_over.h"
#include "idle/holds/silent_keeper_calls.h"
#include "idle/holds/watcher_screensaver.h"
#include "tests/idle/private_bus.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>

namespace pellavin::idle {
namespace {

using namespace std::chrono_literals;

constexpr char kName[] = "org.freedesktop.ScreenSaver";
constexpr char kInterface[] = "org.freedesktop.ScreenSaver";

// Another program on the test's bus, calling the service as players and
// scripts do.
class Program {
public:
    Program() { EXPECT_GE(sd_bus_open_user(&bus_), 0); }
    ~Program() { leave(); }

    void leave()
    {
        if (bus_) sd_bus_flush_close_unref(bus_);
        bus_ = nullptr;
    }

    // The reply's one value of `type` ("u" or "b"), or the error's name.
    template <typename... Args> std::string call(const char* path, const char* member, const char* types, Args... args)
    {
        sd_bus_message* reply = nullptr;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        const int r = sd_bus_call_method(bus_, kName, path, kInterface, member, &error, &reply, types, args...);
        std::string result = r < 0 ? std::string(error.name ? error.name : "failed") : "";
        uint32_t number = 0;
        int yes = 0;
        if (r >= 0 && sd_bus_message_peek_type(reply, nullptr, nullptr) > 0) {
            char type = 0;
            sd_bus_message_peek_type(reply, &type, nullptr);
            if (type == 'u' && sd_bus_message_read(reply, "u", &number) >= 0) result = std::to_string(number);
            if (type == 'b' && sd_bus_message_read(reply, "b", &yes) >= 0) result = yes ? "true" : "false";
        }
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        return result;
    }

    std::string inhibit() { return call("/ScreenSaver", "Inhibit", "ss", "player", "a film"); }

    sd_bus* bus() const { return bus_; }

private:
    sd_bus* bus_ = nullptr;
};

class ScreenSaverServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus_.up()) << "dbus-daemon did not start";
        watcher_.emplace();
    }

    std::unique_ptr<WatcherScreenSaver> start_service()
    {
        auto service = std::make_unique<WatcherScreenSaver>(watcher_->context);
        service->on_held = [this](bool held) { holds_.push_back(held); };
        service->offer();
        return service;
    }

    // Runs `call` on another thread, serving the bus meanwhile, as the
    // watcher's loop would.
    template <typename Call> auto while_serving(Call call)
    {
        auto result = std::async(std::launch::async, call);
        const auto ready = [&] { return result.wait_for(0ms) == std::future_status::ready; };
        while (!ready()) watcher_->serve(ready, 10ms);
        return result.get();
    }

    void serve_until(std::function<bool()> done) { watcher_->serve(done, 2s); }

    static std::string owner(sd_bus* bus) { return name_owner(bus, kName); }
    std::string watcher_name() const { return watcher_->connection.unique_name(); }

    testing::PrivateBus bus_;
    std::optional<testing::WatcherBus> watcher_;
    std::vector<bool> holds_;
};

// A hold lasts until its own connection gives its cookie back, or leaves;
// another's cookie, a guessed one or one past the bound changes nothing.
TEST_F(ScreenSaverServiceTest, OnlyTheConnectionThatGotACookieEndsItsHold)
{
    auto service = start_service();
    ASSERT_TRUE(service->owns_name()) << (watcher_->said.empty() ? "" : watcher_->said[0]);
    Program player;
    Program slides;
    Program other;

    const std::string film = while_serving([&] { return player.inhibit(); });
    const std::string talk = while_serving([&] { return slides.call("/org/freedesktop/ScreenSaver", "Inhibit", "ss",
        "slides", "a talk"); });
    EXPECT_EQ(holds_, std::vector<bool>{true});
    EXPECT_NE(std::stoul(film), 0u);
    EXPECT_GT(std::max(std::stoul(film), std::stoul(talk)) - std::min(std::stoul(film), std::stoul(talk)), 1u)
        << "cookies are not numbered one after another";

    for (const std::string& cookie : {film, std::to_string(std::stoul(film) + 1), std::string("1")}) {
        EXPECT_EQ(while_serving([&] { return other.call("/ScreenSaver", "UnInhibit", "u", std::stoul(cookie)); }), "");
    }
    while_serving([&] { return slides.call("/ScreenSaver", "UnInhibit", "u", std::stoul(film)); });
    EXPECT_EQ(holds_, std::vector<bool>{true}) << "nobody but the player ends the film's hold";

    while_serving([&] { return slides.call("/ScreenSaver", "UnInhibit", "u", std::stoul(talk)); });
    EXPECT_EQ(holds_, std::vector<bool>{true}) << "the film's hold still stands";

    std::string refused;
    for (size_t i = 1; i <= WatcherScreenSaver::kMostHolds && refused.empty(); ++i) {
        const std::string cookie = while_serving([&] { return player.inhibit(); });
        if (cookie.find("Error") != std::string::npos) refused = cookie;
    }
    EXPECT_EQ(refused, "org.freedesktop.DBus.Error.LimitsExceeded");

    player.leave();
    serve_until([&] { return holds_.size() == 2; });
    EXPECT_EQ(holds_, (std::vector<bool>{true, false})) << "the holds of a caller that left end";
}

// Another program's service that keeps its holds to itself, as
// xscreensaver-systemd does: Inhibit answers a cookie (or refuses a
// "refused" caller), UnInhibit takes it back; nobody is told.
struct SilentKeeper {
    static int inhibit(sd_bus_message* call, void*, sd_bus_error* error)
    {
        const char* application = nullptr;
        const char* why = nullptr;
        sd_bus_message_read(call, "ss", &application, &why);
        if (std::string(application) == "refused") return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "no");
        static uint32_t cookie = 100;
        return sd_bus_reply_method_return(call, "u", ++cookie);
    }
    static int uninhibit(sd_bus_message* call, void*, sd_bus_error*) { return sd_bus_reply_method_return(call, ""); }
    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Inhibit", "ss", "u", inhibit, 0),
        SD_BUS_METHOD("UnInhibit", "u", "", uninhibit, 0),
        SD_BUS_VTABLE_END,
    };
};

// Read off the calls: a hold from the keeper's answer to the caller's own
// UnInhibit, the caller leaving, or the name changing hands; a refused
// Inhibit and another caller's UnInhibit of the same cookie hold nothing.
TEST_F(ScreenSaverServiceTest, HoldsThatTheDesktopsServiceKeepsToItselfAreReadOffTheCalls)
{
    testing::BusProgram keeper;
    keeper.serve("/ScreenSaver", kInterface, SilentKeeper::kVtable, nullptr);
    keeper.own(kName);
    SilentKeeperCalls calls;
    std::vector<bool> held;
    calls.on_held = [&](bool on) { held.push_back(on); };
    ASSERT_EQ(calls.start(), "");
    const auto read_calls = [&](size_t changes) {
        for (int i = 0; i < 100 && (held.size() < changes || !calls.watching()); ++i) {
            pollfd fd{calls.fd(), calls.events(), 0};
            poll(&fd, 1, 20);
            ASSERT_TRUE(calls.process());
        }
    };
    read_calls(0);

    Program player;
    Program other;
    EXPECT_EQ(other.call("/ScreenSaver", "Inhibit", "ss", "refused", "a film"), "org.freedesktop.DBus.Error.AccessDenied");
    const uint32_t film = std::stoul(player.inhibit());
    read_calls(1);
    other.call("/ScreenSaver", "UnInhibit", "u", film);
    player.call("/ScreenSaver", "UnInhibit", "u", film);
    read_calls(2);
    EXPECT_EQ(held, (std::vector<bool>{true, false}));

    player.inhibit();
    read_calls(3);
    player.leave();
    read_calls(4);
    other.inhibit();
    read_calls(5);
    keeper.leave();
    read_calls(6);
    EXPECT_EQ(held, (std::vector<bool>{true, false, true, false, true, false}))
        << "a caller's leaving and the keeper's end each end the holds";
}

// Where the watcher serves the name, each hold reaches the session manager
// too, with the idle flag, and is let go there as it ends here.
TEST_F(ScreenSaverServiceTest, EachHoldIsHandedOnToTheSessionManager)
{
    struct Manager {
        std::mutex mutex;
        std::vector<std::string> calls;
        static int inhibit(sd_bus_message* call, void* data, sd_bus_error*)
        {
            const char* application = nullptr;
            const char* why = nullptr;
            uint32_t window = 0;
            uint32_t flags = 0;
            sd_bus_message_read(call, "susu", &application, &window, &why, &flags);
            auto& self = *static_cast<Manager*>(data);
            std::lock_guard lock(self.mutex);
            self.calls.push_back(std::string("Inhibit ") + application + " " + why + " " + std::to_string(flags));
            return sd_bus_reply_method_return(call, "u", uint32_t(self.calls.size()));
        }
        static int uninhibit(sd_bus_message* call, void* data, sd_bus_error*)
        {
            uint32_t cookie = 0;
            sd_bus_message_read(call, "u", &cookie);
            auto& self = *static_cast<Manager*>(data);
            std::lock_guard lock(self.mutex);
            self.calls.push_back("Uninhibit " + std::to_string(cookie));
            return sd_bus_reply_method_return(call, "");
        }
        std::vector<std::string> seen()
        {
            std::lock_guard lock(mutex);
            return calls;
        }
    } manager;
    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Inhibit", "susu", "u", Manager::inhibit, 0),
        SD_BUS_METHOD("Uninhibit", "u", "", Manager::uninhibit, 0),
        SD_BUS_VTABLE_END,
    };
    testing::BusProgram session_manager;
    session_manager.serve("/org/gnome/SessionManager", "org.gnome.SessionManager", kVtable, &manager);
    session_manager.own("org.gnome.SessionManager");

    HoldHandOver hand_over(watcher_->context, kSessionManagerHandOver);
    auto service = start_service();
    service->on_hold = [&](uint32_t cookie, const std::string& application, const std::string& why) {
        hand_over.hold(cookie, application, why);
    };
    service->on_release = [&](uint32_t cookie) { hand_over.release(cookie); };
    Program player;
    Program slides;
    while_serving([&] { return player.inhibit(); });
    const std::string talk = while_serving([&] { return slides.call("/ScreenSaver", "Inhibit", "ss", "slides", "a talk"); });
    serve_until([&] { return manager.seen().size() == 2; });
    while_serving([&] { return slides.call("/ScreenSaver", "UnInhibit", "u", std::stoul(talk)); });
    player.leave();
    serve_until([&] { return manager.seen().size() == 4; });
    auto seen = manager.seen();
    std::sort(seen.begin() + 2, seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"Inhibit player a film 8", "Inhibit slides a talk 8", "Uninhibit 1",
                        "Uninhibit 2"}));
}

// The game through the standard interface: GetActive, SetActive and its
// ActiveChanged, the times, activity, and no lock.
TEST_F(ScreenSaverServiceTest, TheGameIsAskedForAndToldThroughTheStandardInterface)
{
    auto service = start_service();
    bool shows = false;
    int activity = 0;
    service->game = {[&] { return shows; },
        [&] {
            service->game_shows(shows = true);
            return true;
        },
        [&] { service->game_shows(shows = false); }, [&] { ++activity; },
        [](std::function<void(std::optional<Milliseconds>)> answer) { answer(Milliseconds(125'000)); }};
    Program script;
    std::vector<int> changes;
    sd_bus_match_signal(script.bus(), nullptr, nullptr, "/org/freedesktop/ScreenSaver", kInterface, "ActiveChanged",
        [](sd_bus_message* signal, void* data, sd_bus_error*) {
            int active = 0;
            sd_bus_message_read(signal, "b", &active);
            static_cast<std::vector<int>*>(data)->push_back(active);
            return 0;
        },
        &changes);
    const auto call = [&](const char* member, const char* types = nullptr, int value = 0) {
        return while_serving([&] { return script.call("/org/freedesktop/ScreenSaver", member, types, value); });
    };

    EXPECT_EQ(call("GetActive"), "false");
    EXPECT_EQ(call("SetActive", "b", 1), "true");
    EXPECT_EQ(call("GetActive"), "true");
    EXPECT_EQ(call("GetActiveTime"), "0");
    EXPECT_EQ(call("GetSessionIdleTime"), "125");
    EXPECT_EQ(call("SimulateUserActivity"), "");
    EXPECT_EQ(activity, 1);
    EXPECT_EQ(call("SetActive", "b", 0), "true");
    EXPECT_EQ(call("GetActive"), "false");
    EXPECT_EQ(call("Lock"), "org.freedesktop.DBus.Error.NotSupported");
    while (sd_bus_process(script.bus(), nullptr) > 0) {
    }
    EXPECT_EQ(changes, (std::vector<int>{1, 0}));
}

// The name is the desktop's: a program that owns it keeps it, and the
// watcher never waits in the name's queue for it; its own goes, with the
// holds made here, to a program that takes it over, or to the desktop's
// own service, known by a name of the desktop's, which asks only for a name
// that is free or queues for it.
TEST_F(ScreenSaverServiceTest, TheWatcherNeverWaitsForTheNameAndLetsTheDesktopHaveIt)
{
    Program locker;
    ASSERT_GE(sd_bus_request_name(locker.bus(), kName, 0), 0);
    auto service = start_service();
    EXPECT_FALSE(service->owns_name());
    locker.leave();
    watcher_->serve([] { return false; }, 300ms);
    EXPECT_FALSE(service->owns_name()) << "not in the queue";
    service->offer();
    EXPECT_TRUE(service->owns_name());

    Program player;
    while_serving([&] { return player.inhibit(); });
    Program takeover;
    ASSERT_GE(while_serving([&] { return sd_bus_request_name(takeover.bus(), kName, SD_BUS_NAME_REPLACE_EXISTING); }),
        0);
    serve_until([&] { return !service->owns_name(); });
    EXPECT_EQ(holds_, (std::vector<bool>{true, false}));
    takeover.leave();
    watcher_->serve([] { return false; }, 300ms);
    EXPECT_EQ(owner(player.bus()), "") << "not taken back";

    unsetenv("XDG_CURRENT_DESKTOP");
    SessionDesktop desktop(watcher_->context);
    EXPECT_FALSE(desktop.present());
    desktop.on_came = [&] { service->give_way(); };
    service->offer();
    while_serving([&] { return player.inhibit(); });
    Program proxy;  // as gnome-settings-daemon's asks, once, queued behind the watcher
    ASSERT_GE(sd_bus_request_name(proxy.bus(), "org.gnome.SettingsDaemon.ScreensaverProxy", 0), 0);
    ASSERT_GE(sd_bus_request_name(proxy.bus(), kName, SD_BUS_NAME_QUEUE), 0);
    serve_until([&] { return owner(player.bus()) == testing::unique_name(proxy.bus()); });
    EXPECT_EQ(owner(player.bus()), testing::unique_name(proxy.bus()));
    EXPECT_EQ(desktop.which(), "GNOME");
    EXPECT_EQ(holds_, (std::vector<bool>{true, false, true, false}));

    // Known before its service is there, whatever starts first.
    proxy.leave();
    serve_until([&] { return name_owner(player.bus(), "org.gnome.SettingsDaemon.ScreensaverProxy").empty(); });
    const std::pair<const char*, bool> sessions[] = {{"ubuntu:GNOME", true}, {"KDE", true}, {"X-Cinnamon", true},
        {"XFCE", true}, {"LXQt", true}, {"MATE", false}, {"i3", false}};
    for (const auto& [names, serves] : sessions) {
        setenv("XDG_CURRENT_DESKTOP", names, 1);
        EXPECT_EQ(SessionDesktop(watcher_->context).present(), serves) << names;
    }
    unsetenv("XDG_CURRENT_DESKTOP");
}

}  // namespace
}  // namespace pellavin::idle
