#include "idle/sources/gnome_idle.h"
#include "idle/desktops/desktops.h"
#include "tests/idle/private_bus.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

namespace pellavin::idle {
namespace {

using namespace std::chrono_literals;

constexpr char kManager[] = "org.gnome.SessionManager";
constexpr char kMonitor[] = "org.gnome.Mutter.IdleMonitor";

constexpr char kMonitorPath[] = "/org/gnome/Mutter/IdleMonitor/Core";

// Another program on the test's bus that owns one of GNOME's names: the
// session manager as gnome-session answers (IsInhibited and its two
// signals), or a monitor that misbehaves; it leaves the bus when it goes.
class StandIn {
public:
    // AnswersLate: a monitor that leaves its first watches unanswered, as a
    // desktop busy at login does, then answers; an idle watch fires at once.
    enum class Mode { Answers, Stalled, RefusesWatches, AnswersLate };

    StandIn(const char* name, Mode mode)
        : program_(BusConnection::Kind::Session, mode == Mode::Stalled)
    {
        if (mode == Mode::Answers) program_.serve("/org/gnome/SessionManager", kManager, kManagerVtable, this);
        if (mode == Mode::RefusesWatches) program_.serve(kMonitorPath, kMonitor, kMonitorVtable, this);
        if (mode == Mode::AnswersLate) program_.serve(kMonitorPath, kMonitor, kLateMonitorVtable, this);
        program_.own(name);
    }

    void leave() { program_.leave(); }

    // Sets the answer, and says that an inhibitor came or went.
    void set_inhibited(bool inhibited)
    {
        inhibited_ = inhibited;
        program_.on_thread([this, inhibited] {
            sd_bus_emit_signal(program_.bus(), "/org/gnome/SessionManager", kManager,
                inhibited ? "InhibitorAdded" : "InhibitorRemoved", "o", "/org/gnome/SessionManager/Inhibitor1");
        });
    }
    // Sets the answer only, as if a signal had been lost.
    void set_answer(bool inhibited) { inhibited_ = inhibited; }

private:
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
    static int add_late(sd_bus_message* call, void* data, sd_bus_error*)
    {
        auto* self = static_cast<StandIn*>(data);
        if (++self->asked_ <= kUnanswered) return 1;  // left unanswered
        sd_bus_reply_method_return(call, "u", kWatch);
        return sd_bus_emit_signal(self->program_.bus(), kMonitorPath, kMonitor, "WatchFired", "u", kWatch);
    }
    static int ignore(sd_bus_message* call, void*, sd_bus_error*) { return sd_bus_reply_method_return(call, ""); }

    static constexpr sd_bus_vtable kManagerVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("IsInhibited", "u", "b", is_inhibited, 0),
        SD_BUS_SIGNAL("InhibitorAdded", "o", 0),
        SD_BUS_SIGNAL("InhibitorRemoved", "o", 0),
        SD_BUS_VTABLE_END,
    };
    static constexpr int kUnanswered = 2;
    static constexpr uint32_t kWatch = 7;
    static constexpr sd_bus_vtable kLateMonitorVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("GetIdletime", "", "t", idle_time, 0),
        SD_BUS_METHOD("AddIdleWatch", "t", "u", add_late, 0),
        SD_BUS_METHOD("AddUserActiveWatch", "", "u", add_late, 0),
        SD_BUS_METHOD("RemoveWatch", "u", "", ignore, 0),
        SD_BUS_SIGNAL("WatchFired", "u", 0),
        SD_BUS_VTABLE_END,
    };
    static constexpr sd_bus_vtable kMonitorVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("GetIdletime", "", "t", idle_time, 0),
        SD_BUS_METHOD("AddIdleWatch", "t", "u", refuse, 0),
        SD_BUS_METHOD("AddUserActiveWatch", "", "u", refuse, 0),
        SD_BUS_VTABLE_END,
    };

    std::atomic<bool> inhibited_ = false;
    std::atomic<int> asked_ = 0;
    testing::BusProgram program_;  // last: its thread goes first
};

class GnomeSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus_.up()) << "dbus-daemon did not start";
        watcher_.emplace();
    }

    std::unique_ptr<HoldKeeper> start_inhibitors()
    {
        auto inhibitors = std::make_unique<HoldKeeper>(watcher_->context, keepers::kSessionManager);
        inhibitors->on_inhibited = [this](bool inhibited) { changes_.push_back(inhibited); };
        return inhibitors;
    }

    template <typename Done> int serve(Done done, Milliseconds time = 1s) { return watcher_->serve(done, time); }
    const std::vector<std::string>& said() const { return watcher_->said; }

    testing::PrivateBus bus_;
    std::optional<testing::WatcherBus> watcher_;
    std::vector<bool> changes_;
};

TEST_F(GnomeSessionTest, TheSessionManagerIsAskedAtStartWhenInhibitorsChangeAndBeforeEachGame)
{
    StandIn manager(kManager, StandIn::Mode::Answers);
    manager.set_answer(true);
    auto inhibitors = start_inhibitors();
    serve([&] { return !changes_.empty(); });
    EXPECT_EQ(changes_, std::vector<bool>{true}) << "asked at start";

    int starts = 0;
    inhibitors->before_start([&] { ++starts; });
    serve([] { return false; });
    EXPECT_EQ(starts, 0) << "no game while inhibited";

    manager.set_inhibited(false);
    serve([&] { return changes_.size() == 2; });
    EXPECT_EQ(changes_, (std::vector<bool>{true, false})) << "asked when the inhibitor went";

    // An inhibitor whose signal never came is still found before the game.
    manager.set_answer(true);
    inhibitors->before_start([&] { ++starts; });
    serve([&] { return changes_.size() == 3; });
    manager.set_inhibited(false);
    serve([&] { return changes_.size() == 4; });
    inhibitors->before_start([&] { ++starts; });
    serve([&] { return starts == 1; });
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(changes_, (std::vector<bool>{true, false, true, false}));

    // Its inhibitors go with it.
    manager.set_answer(true);
    inhibitors->before_start([&] { ++starts; });
    serve([&] { return changes_.size() == 5; });
    manager.leave();
    serve([&] { return changes_.size() == 6; });
    EXPECT_EQ(changes_, (std::vector<bool>{true, false, true, false, true, false}));
    EXPECT_TRUE(said().empty()) << said()[0];
}

// A session manager that does not answer holds the game neither off for
// good nor in a loop of questions: one line, and what it last said stands
// while it is asked again. (With none at all, idle.sh's mutter plays
// without a word.)
TEST_F(GnomeSessionTest, AStalledSessionManagerHoldsNothingOff)
{
    StandIn manager(kManager, StandIn::Mode::Stalled);
    auto inhibitors = start_inhibitors();
    int starts = 0;
    int wakes = 0;
    for (int game = 1; game <= 2; ++game) {
        inhibitors->before_start([&] { ++starts; });
        wakes += serve([&] { return starts == game; });
    }
    EXPECT_EQ(starts, 2);
    EXPECT_TRUE(changes_.empty());
    ASSERT_EQ(said().size(), 1u);
    EXPECT_NE(said()[0].find("org.gnome.SessionManager fails IsInhibited (Method call timed out)"), std::string::npos)
        << said()[0];
    // Questions of 300 ms and a second's pause: woken by their time-outs, never spinning.
    EXPECT_LT(wakes, 12);
}

// A monitor is taken whenever its name has an owner; one that answers late
// (a busy desktop at login) is asked again until it does, said once, and
// the game comes once it answers.
TEST_F(GnomeSessionTest, AMonitorThatAnswersLateIsAskedAgainUntilItAnswers)
{
    EXPECT_THROW(GnomeIdleSource source(watcher_->context), GnomeIdleSource::NotOffered) << "nobody owns the name";

    StandIn monitor(kMonitor, StandIn::Mode::AnswersLate);
    GnomeIdleSource source(watcher_->context);
    int idles = 0;
    source.on_idle = [&] { ++idles; };
    source.watch(Milliseconds(1), IdleSource::Count::FromLastInput);
    const int wakes = serve([&] { return idles > 0; }, 6s);
    EXPECT_EQ(idles, 1) << "the game comes once the monitor answers";
    ASSERT_EQ(said().size(), 1u);
    EXPECT_NE(said()[0].find("org.gnome.Mutter.IdleMonitor fails AddIdleWatch (Method call timed out): no game comes "
                             "by itself until it does; asked again until it answers"),
        std::string::npos)
        << said()[0];
    // Two questions unanswered for 300 ms, pauses of 1 and 2 s between.
    EXPECT_LT(wakes, 12);
}

// A monitor that answers, then refuses every watch: said once however often
// the watch is asked for, no game, and its leaving ends the session.
TEST_F(GnomeSessionTest, AMonitorThatRefusesWatchesStartsNoGameAndItsLeavingEndsTheSession)
{
    StandIn monitor(kMonitor, StandIn::Mode::RefusesWatches);
    GnomeIdleSource source(watcher_->context);
    int idles = 0;
    source.on_idle = [&] { ++idles; };
    source.watch(Milliseconds(1), IdleSource::Count::FromLastInput);
    serve([&] { return !said().empty(); });
    source.watch(Milliseconds(1), IdleSource::Count::FromNow);
    serve([] { return false; }, 2s);
    EXPECT_EQ(idles, 0);
    // Each question said once, however often asked again.
    ASSERT_EQ(said().size(), 2u);
    EXPECT_NE(said()[0].find("org.gnome.Mutter.IdleMonitor fails AddIdleWatch (org.gnome.Mutter.Failed: no more "
                             "watches): no game comes"),
        std::string::npos)
        << said()[0];
    EXPECT_NE(said()[1].find("fails AddUserActiveWatch"), std::string::npos) << said()[1];

    EXPECT_TRUE(source.dispatch());
    monitor.leave();
    serve([&] { return !source.dispatch(); });
    EXPECT_FALSE(source.dispatch()) << "the monitor's owner left: the session has ended";
}

}  // namespace
}  // namespace pellavin::idle
