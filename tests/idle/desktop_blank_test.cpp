#include "idle/lock/desktop_notice.h"
#include "idle/desktops/desktops.h"
#include "idle/lock/logind_session.h"
#include "tests/idle/private_bus.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <vector>

namespace pellavin::idle {
namespace {

using namespace std::chrono_literals;

using testing::BusProgram;

// The state a stand-in answers with.
std::atomic<bool> active = false;

int get_active(sd_bus_message* call, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(call, "b", active.load());
}

// A screen saver that is active when it comes, then not, then again, then
// leaves: each change is followed; the watcher's own name is never followed.
TEST(LockerState, ItsActiveStateIsFollowedWhoeverOwnsTheName)
{
    testing::PrivateBus bus;
    ASSERT_TRUE(bus.up()) << "dbus-daemon did not start";
    testing::WatcherBus watcher;
    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("GetActive", "", "b", get_active, 0),
        SD_BUS_SIGNAL("ActiveChanged", "b", 0),
        SD_BUS_VTABLE_END,
    };
    const auto names = lockers::kGnomeShell;
    std::vector<bool> changes;
    LockerState shell(watcher.context, names);
    shell.on_active = [&](bool active) { changes.push_back(active); };
    const auto follow = [&](size_t count) { watcher.serve([&] { return changes.size() == count; }, 3s); };

    BusProgram locker;
    active = true;
    locker.serve(names.path, names.interface, kVtable, nullptr);
    locker.own(names.name);
    follow(1);
    for (int on : {0, 1}) {
        locker.on_thread([&] { sd_bus_emit_signal(locker.bus(), names.path, names.interface, "ActiveChanged", "b", on); });
        follow(changes.size() + 1);
    }
    locker.leave();
    follow(4);
    EXPECT_EQ(changes, (std::vector<bool>{true, false, true, false}));
    EXPECT_TRUE(watcher.said.empty()) << watcher.said[0];

    // The watcher's own org.freedesktop.ScreenSaver is its own business.
    ASSERT_GE(sd_bus_request_name(watcher.connection.get(), lockers::kFreedesktop.name, 0), 0);
    LockerState own(watcher.context, lockers::kFreedesktop, watcher.connection.unique_name());
    bool asked = false;
    own.on_active = [&](bool) { asked = true; };
    watcher.serve([] { return false; }, 200ms);
    EXPECT_FALSE(asked);
}

// GNOME's screensaver proxy has no state to tell: it answers GetActive with
// NotSupported. That is an answer, asked once and never again, and its
// signals are followed.
std::atomic<int> asked = 0;

int get_active_not_supported(sd_bus_message*, void*, sd_bus_error* error)
{
    ++asked;
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "This method is not implemented");
}

TEST(LockerState, AServiceWithNoSuchStateIsAskedOnceAndFollowedBySignals)
{
    testing::PrivateBus bus;
    ASSERT_TRUE(bus.up()) << "dbus-daemon did not start";
    testing::WatcherBus watcher;
    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("GetActive", "", "b", get_active_not_supported, 0),
        SD_BUS_SIGNAL("ActiveChanged", "b", 0),
        SD_BUS_VTABLE_END,
    };
    const auto names = lockers::kFreedesktop;
    BusProgram proxy;
    proxy.serve(names.path, names.interface, kVtable, nullptr);
    proxy.own(names.name);
    std::vector<bool> changes;
    LockerState saver(watcher.context, names);
    saver.on_active = [&](bool active) { changes.push_back(active); };
    // Long enough for a question that failed to be asked again twice.
    const int wakes = watcher.serve([] { return false; }, 4s);
    EXPECT_EQ(asked.load(), 1);
    EXPECT_LE(wakes, 3) << "nothing to wake for once answered";
    proxy.on_thread([&] { sd_bus_emit_signal(proxy.bus(), names.path, names.interface, "ActiveChanged", "b", 1); });
    watcher.serve([&] { return !changes.empty(); }, 3s);
    EXPECT_EQ(changes, std::vector<bool>{true});
    EXPECT_TRUE(watcher.said.empty()) << watcher.said[0];
}

// The notice of a blank that came first: held while the screen is blanked,
// shown once the user is back, and once a session, from Pellavin.
std::vector<std::string> notified;

int notify(sd_bus_message* call, void*, sd_bus_error*)
{
    const char *application = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
    uint32_t replaces = 0;
    sd_bus_message_read(call, "susss", &application, &replaces, &icon, &summary, &body);
    notified.push_back(std::string(application) + " (" + icon + "): " + summary);
    return sd_bus_reply_method_return(call, "u", uint32_t(notified.size()));
}

TEST(DesktopNotice, ShowsOnceTheUserIsBackAndOnceASession)
{
    testing::PrivateBus bus;
    ASSERT_TRUE(bus.up()) << "dbus-daemon did not start";
    testing::WatcherBus watcher;
    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", notify, 0),
        SD_BUS_VTABLE_END,
    };
    BusProgram shell;
    shell.serve("/org/freedesktop/Notifications", "org.freedesktop.Notifications", kVtable, nullptr);
    shell.own("org.freedesktop.Notifications");
    DesktopNotice notice(watcher.context);
    notice.show_held();
    notice.hold("blanked first", "after 5 minutes");
    watcher.serve([] { return false; }, 300ms);
    EXPECT_TRUE(notified.empty()) << "nothing while the screen is blanked";
    for (int back = 0; back < 2; ++back) {
        notice.show_held();
        watcher.serve([] { return false; }, 500ms);
        notice.hold("blanked first again", "after 4 minutes");
    }
    EXPECT_EQ(notified, std::vector<std::string>{"Pellavin (pellavin): blanked first"});
}

// logind on the test's own system bus: the session this process is in is
// found by its process and starts locked; LockedHint is its state, and
// Unlock and Lock only what logind asks of the locker, as is the sleep to
// come (the lockers lock before it); the wake after it asks nothing.
int get_session_by_pid(sd_bus_message* call, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(call, "o", "/org/freedesktop/login1/session/_31");
}

int locked_hint(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "b", active.load());
}

TEST(LogindSession, TheSessionsLockIsFollowed)
{
    testing::PrivateBus system_bus("DBUS_SYSTEM_BUS_ADDRESS");
    ASSERT_TRUE(system_bus.up()) << "dbus-daemon did not start";
    unsetenv("XDG_SESSION_ID");
    testing::WatcherBus watcher(BusConnection::Kind::System);
    {
        LogindSession nobody(watcher.context);
        watcher.serve([] { return false; }, 500ms);
        EXPECT_TRUE(watcher.said.empty()) << "no logind on the bus: nothing to say";
    }

    static constexpr sd_bus_vtable kManager[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("GetSessionByPID", "u", "o", get_session_by_pid, 0),
        SD_BUS_SIGNAL("PrepareForSleep", "b", 0),
        SD_BUS_VTABLE_END,
    };
    static constexpr sd_bus_vtable kSession[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_PROPERTY("LockedHint", "b", locked_hint, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_SIGNAL("Lock", "", 0),
        SD_BUS_SIGNAL("Unlock", "", 0),
        SD_BUS_VTABLE_END,
    };
    constexpr char kPath[] = "/org/freedesktop/login1/session/_31";
    constexpr char kInterface[] = "org.freedesktop.login1.Session";
    BusProgram logind(BusConnection::Kind::System);
    active = true;
    logind.serve("/org/freedesktop/login1", "org.freedesktop.login1.Manager", kManager, nullptr);
    logind.serve(kPath, kInterface, kSession, nullptr);
    logind.own("org.freedesktop.login1");
    watcher.serve([] { return false; }, 200ms);

    std::vector<std::string> changes;
    LogindSession session(watcher.context);
    session.on_locked = [&](bool locked) { changes.push_back(locked ? "locked" : "unlocked"); };
    session.on_lock_asked = [&](bool lock) { changes.push_back(lock ? "lock asked" : "unlock asked"); };
    const auto follow = [&](size_t count) { watcher.serve([&] { return changes.size() == count; }, 3s); };
    follow(1);
    logind.on_thread([&] { sd_bus_emit_signal(logind.bus(), kPath, kInterface, "Unlock", ""); });
    follow(2);
    logind.on_thread([&] { sd_bus_emit_signal(logind.bus(), kPath, kInterface, "Lock", ""); });
    follow(3);
    logind.on_thread([&] {
        active = false;
        sd_bus_emit_properties_changed(logind.bus(), kPath, kInterface, "LockedHint", nullptr);
    });
    follow(4);
    for (const int sleeping : {1, 0}) {
        logind.on_thread([&logind, sleeping] {
            sd_bus_emit_signal(logind.bus(), "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                "PrepareForSleep", "b", sleeping);
        });
    }
    logind.on_thread([&] { sd_bus_emit_signal(logind.bus(), kPath, kInterface, "Unlock", ""); });
    follow(6);
    EXPECT_EQ(changes, (std::vector<std::string>{"locked", "unlock asked", "lock asked", "unlocked", "lock asked",
                           "unlock asked"}));
    EXPECT_TRUE(watcher.said.empty()) << watcher.said[0];
}

}  // namespace
}  // namespace pellavin::idle
