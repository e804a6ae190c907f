#include "idle/gnome_idle.h"
#include "idle/session_inhibitors.h"
#include "tests/idle/private_bus.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <poll.h>
#include <thread>

namespace pellavin::idle {
namespace {

using namespace std::chrono_literals;

constexpr Milliseconds kTimeout{300};
constexpr char kManager[] = "org.gnome.SessionManager";
constexpr char kMonitor[] = "org.gnome.Mutter.IdleMonitor";

// Another program on the test's bus that owns one of GNOME's names: the
// session manager as gnome-session answers (IsInhibited and its two
// signals), or a monitor that misbehaves. It serves on a thread of its own,
// unless it is stalled; it leaves the bus when it goes.
class StandIn {
public:
    enum class Mode { Answers, Stalled, NoSuchObject, RefusesWatches };

    StandIn(const char* name, Mode mode)
    {
        EXPECT_GE(sd_bus_open_user(&bus_), 0);
        if (mode == Mode::Answers) {
            sd_bus_add_object_vtable(bus_, nullptr, "/org/gnome/SessionManager", kManager, kManagerVtable, this);
        } else if (mode == Mode::RefusesWatches) {
            sd_bus_add_object_vtable(bus_, nullptr, "/org/gnome/Mutter/IdleMonitor/Core", kMonitor, kMonitorVtable,
                this);
        }
        EXPECT_GE(sd_bus_request_name(bus_, name, 0), 0);
        if (mode != Mode::Stalled) thread_ = std::thread([this] { serve(); });
    }

    ~StandIn() { leave(); }

    void leave()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (bus_) sd_bus_flush_close_unref(bus_);
        bus_ = nullptr;
    }

    // Sets the answer, and says that an inhibitor came or went.
    void set_inhibited(bool inhibited)
    {
        inhibited_ = inhibited;
        signal_ = inhibited ? "InhibitorAdded" : "InhibitorRemoved";
    }
    // Sets the answer only, as if a signal had been lost.
    void set_answer(bool inhibited) { inhibited_ = inhibited; }

private:
    void serve()
    {
        while (!stop_) {
            while (sd_bus_process(bus_, nullptr) > 0) {
            }
            if (const char* member = signal_.exchange(nullptr)) {
                sd_bus_emit_signal(bus_, "/org/gnome/SessionManager", kManager, member, "o",
                    "/org/gnome/SessionManager/Inhibitor1");
            }
            sd_bus_wait(bus_, 10'000);
        }
    }

    static int is_inhibited(sd_bus_message* call, void* data, sd_bus_error*)
    {
        uint32_t flags = 0;
        sd_bus_message_read(call, "u", &flags);
        return sd_bus_reply_method_return(call, "b", static_cast<StandIn*>(data)->inhibited_ && (flags & 8));
    }
    static int idle_time(sd_bus_message* call, void*, sd_bus_error*)
    {
        return sd_bus_reply_method_return(call, "t", uint64_t{5000});
    }
    static int refuse(sd_bus_message*, void*, sd_bus_error* error)
    {
        return sd_bus_error_set(error, "org.gnome.Mutter.Failed", "no more watches");
    }

    static constexpr sd_bus_vtable kManagerVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("IsInhibited", "u", "b", is_inhibited, 0),
        SD_BUS_SIGNAL("InhibitorAdded", "o", 0),
        SD_BUS_SIGNAL("InhibitorRemoved", "o", 0),
        SD_BUS_VTABLE_END,
    };
    static constexpr sd_bus_vtable kMonitorVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("GetIdletime", "", "t", idle_time, 0),
        SD_BUS_METHOD("AddIdleWatch", "t", "u", refuse, 0),
        SD_BUS_METHOD("AddUserActiveWatch", "", "u", refuse, 0),
        SD_BUS_VTABLE_END,
    };

    sd_bus* bus_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    std::atomic<bool> inhibited_ = false;
    std::atomic<const char*> signal_ = nullptr;
};

class GnomeSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus_.up()) << "dbus-daemon did not start"; }

    std::unique_ptr<SessionInhibitors> start_inhibitors()
    {
        auto inhibitors = std::make_unique<SessionInhibitors>(
            [this](const std::string& line) { said_.push_back(line); }, kTimeout);
        inhibitors->on_inhibited = [this](bool inhibited) { changes_.push_back(inhibited); };
        return inhibitors;
    }

    // The watcher's loop around one bus client, until `done` or a second
    // has passed; counts the times it woke.
    template <typename Client, typename Done> int serve(Client& client, Done done)
    {
        int wakes = 0;
        const auto until = std::chrono::steady_clock::now() + 1s;
        while (!done() && client.fd() >= 0) {
            const auto left = std::chrono::duration_cast<Milliseconds>(until - std::chrono::steady_clock::now());
            if (left <= 0ms) break;
            const int timeout = client.timeout_ms();
            pollfd fd{client.fd(), client.events(), 0};
            poll(&fd, 1, timeout < 0 ? static_cast<int>(left.count()) : std::min<int>(timeout, left.count()));
            ++wakes;
            process(client);
        }
        return wakes;
    }
    static void process(SessionInhibitors& inhibitors) { inhibitors.process(); }
    bool process(GnomeIdleSource& source) { return alive_ = source.dispatch(); }

    testing::PrivateBus bus_;
    std::vector<std::string> said_;
    std::vector<bool> changes_;
    bool alive_ = true;
};

TEST_F(GnomeSessionTest, TheSessionManagerIsAskedAtStartWhenInhibitorsChangeAndBeforeEachGame)
{
    StandIn manager(kManager, StandIn::Mode::Answers);
    manager.set_answer(true);
    auto inhibitors = start_inhibitors();
    serve(*inhibitors, [&] { return !changes_.empty(); });
    EXPECT_EQ(changes_, std::vector<bool>{true}) << "asked at start";

    int starts = 0;
    inhibitors->before_start([&] { ++starts; });
    serve(*inhibitors, [] { return false; });
    EXPECT_EQ(starts, 0) << "no game while inhibited";

    manager.set_inhibited(false);
    serve(*inhibitors, [&] { return changes_.size() == 2; });
    EXPECT_EQ(changes_, (std::vector<bool>{true, false})) << "asked when the inhibitor went";

    // An inhibitor whose signal never came is still found before the game.
    manager.set_answer(true);
    inhibitors->before_start([&] { ++starts; });
    serve(*inhibitors, [&] { return changes_.size() == 3; });
    manager.set_inhibited(false);
    serve(*inhibitors, [&] { return changes_.size() == 4; });
    inhibitors->before_start([&] { ++starts; });
    serve(*inhibitors, [&] { return starts == 1; });
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(changes_, (std::vector<bool>{true, false, true, false}));

    // Its inhibitors go with it.
    manager.set_answer(true);
    inhibitors->before_start([&] { ++starts; });
    serve(*inhibitors, [&] { return changes_.size() == 5; });
    manager.leave();
    serve(*inhibitors, [&] { return changes_.size() == 6; });
    EXPECT_EQ(changes_, (std::vector<bool>{true, false, true, false, true, false}));
    EXPECT_TRUE(said_.empty()) << said_[0];
}

// A session manager that does not answer holds the game neither off for
// good nor in a loop of questions: one line, and it goes on as if it had
// not asked. (With none at all, idle.sh's mutter plays without a word.)
TEST_F(GnomeSessionTest, AStalledSessionManagerHoldsNothingOff)
{
    StandIn manager(kManager, StandIn::Mode::Stalled);
    auto inhibitors = start_inhibitors();
    int starts = 0;
    int wakes = 0;
    for (int game = 1; game <= 2; ++game) {
        inhibitors->before_start([&] { ++starts; });
        wakes += serve(*inhibitors, [&] { return starts == game; });
    }
    EXPECT_EQ(starts, 2);
    EXPECT_TRUE(changes_.empty());
    ASSERT_EQ(said_.size(), 1u);
    EXPECT_NE(said_[0].find("org.gnome.SessionManager failed IsInhibited"), std::string::npos) << said_[0];
    // Three questions of 300 ms: woken by their time-outs, never spinning.
    EXPECT_LT(wakes, 12);
}

TEST_F(GnomeSessionTest, AMonitorThatIsMissingStalledOrWrongIsSaidAtOnce)
{
    struct Case {
        const char* name;
        std::optional<StandIn::Mode> mode;
        bool offered;
        const char* says;
    };
    const Case cases[] = {
        {"nobody owns the name", std::nullopt, false, "nobody owns org.gnome.Mutter.IdleMonitor"},
        {"stalled", StandIn::Mode::Stalled, true, "does not answer GetIdletime (Connection timed out)"},
        {"no such object", StandIn::Mode::NoSuchObject, true, "does not answer GetIdletime (Unknown object"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<StandIn> monitor;
        if (c.mode) monitor = std::make_unique<StandIn>(kMonitor, *c.mode);
        const auto started = std::chrono::steady_clock::now();
        try {
            GnomeIdleSource source(kTimeout);
            ADD_FAILURE() << c.name << ": taken as an idle source";
        } catch (const SessionError& error) {
            const bool offered = dynamic_cast<const GnomeIdleSource::NotOffered*>(&error) == nullptr;
            EXPECT_EQ(offered, c.offered) << c.name << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
        }
        // Its own time limit, far below the bus's default of 25 s.
        EXPECT_LT(std::chrono::steady_clock::now() - started, 3s) << c.name;
    }
}

// A monitor that answers, then refuses every watch: said once however often
// the watch is asked for, no game, and its leaving ends the session.
TEST_F(GnomeSessionTest, AMonitorThatRefusesWatchesStartsNoGameAndItsLeavingEndsTheSession)
{
    StandIn monitor(kMonitor, StandIn::Mode::RefusesWatches);
    GnomeIdleSource source(kTimeout);
    source.say = [this](const std::string& line) { said_.push_back(line); };
    int idles = 0;
    source.on_idle = [&] { ++idles; };
    source.watch(Milliseconds(1), IdleSource::Count::FromLastInput);
    serve(source, [&] { return !said_.empty(); });
    source.watch(Milliseconds(1), IdleSource::Count::FromNow);
    serve(source, [] { return false; });
    EXPECT_EQ(idles, 0);
    ASSERT_EQ(said_.size(), 1u);
    EXPECT_NE(said_[0].find("org.gnome.Mutter.IdleMonitor fails AddIdleWatch (org.gnome.Mutter.Failed: no more "
                            "watches): no game comes"),
        std::string::npos)
        << said_[0];

    EXPECT_TRUE(alive_);
    monitor.leave();
    serve(source, [&] { return !alive_; });
    EXPECT_FALSE(alive_) << "the monitor's owner left: the session has ended";
}

}  // namespace
}  // namespace pellavin::idle
