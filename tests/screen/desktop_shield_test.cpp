#include "runtime/screen/desktop_shield.h"

#include "tests/support/dbus_daemon.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace pellavin::screen {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

constexpr char kPath[] = "/org/gnome/ScreenSaver";
constexpr char kInterface[] = "org.gnome.ScreenSaver";
constexpr auto kPatience = 5s;
constexpr auto kSettle = 200ms;  // long past a message's way through the bus

// Another program on the bus, through sd-bus as desktop programs are.
struct Program {
    explicit Program(const std::string& address)
    {
        sd_bus_new(&bus);
        sd_bus_set_address(bus, address.c_str());
        sd_bus_set_bus_client(bus, 1);
        EXPECT_GE(sd_bus_start(bus), 0);
    }
    ~Program() { sd_bus_flush_close_unref(bus); }

    // ActiveChanged, to all who listen or to one.
    void say(bool active, const std::string& to = "")
    {
        sd_bus_message* signal = nullptr;
        sd_bus_message_new_signal(bus, &signal, kPath, kInterface, "ActiveChanged");
        if (!to.empty()) sd_bus_message_set_destination(signal, to.c_str());
        sd_bus_message_append(signal, "b", static_cast<int>(active));
        sd_bus_send(bus, signal, nullptr);
        sd_bus_message_unref(signal);
        sd_bus_flush(bus);
    }
    // Once answered, the bus has passed on all that this program sent before.
    void round_trip()
    {
        sd_bus_message* reply = nullptr;
        sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId",
            nullptr, &reply, "");
        sd_bus_message_unref(reply);
    }

    sd_bus* bus = nullptr;
};

// GNOME Shell as the game meets it: its name, GetActive, ActiveChanged.
struct ShellStandIn : Program {
    ShellStandIn(const std::string& address, bool active);
    bool active;
    std::string caller;  // the unique name of whoever asked last
};

int get_active(sd_bus_message* call, void* data, sd_bus_error*)
{
    auto& shell = *static_cast<ShellStandIn*>(data);
    shell.caller = sd_bus_message_get_sender(call);
    return sd_bus_reply_method_return(call, "b", static_cast<int>(shell.active));
}

const sd_bus_vtable kShellVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("GetActive", "", "b", get_active, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

ShellStandIn::ShellStandIn(const std::string& address, bool active)
    : Program(address)
    , active(active)
{
    sd_bus_add_object_vtable(bus, nullptr, kPath, kInterface, kShellVtable, this);
    EXPECT_GE(sd_bus_request_name(bus, "org.gnome.Shell.ScreenShield", 0), 0);
}

// Serves the shield as the game's loop does, and the programs beside it,
// until `done` or `limit`; returns how often the shield woke.
int serve(DesktopShield& shield, const std::vector<Program*>& programs, const std::function<bool()>& done,
    std::chrono::milliseconds limit = kPatience)
{
    int wakes = 0;
    for (const auto until = std::chrono::steady_clock::now() + limit;
         !done() && std::chrono::steady_clock::now() < until;) {
        std::vector<pollfd> fds{{shield.fd(), shield.events(), 0}};
        for (Program* program : programs) {
            while (sd_bus_process(program->bus, nullptr) > 0) {
            }
            fds.push_back({sd_bus_get_fd(program->bus), static_cast<short>(sd_bus_get_events(program->bus)), 0});
        }
        poll(fds.data(), fds.size(), 10);
        if (fds[0].revents != 0) {
            ++wakes;
            shield.dispatch();
        }
    }
    return wakes;
}

const std::function<bool()> kNever = [] { return false; };

TEST(DesktopShield, FollowsTheShieldOfWhicheverShellHoldsItsName)
{
    testing::DbusDaemon bus;
    ASSERT_TRUE(bus.up()) << "dbus-daemon did not start";
    auto shell = std::make_unique<ShellStandIn>(bus.address(), true);
    DesktopShield shield("unix:path=/nonexistent/bus;" + bus.address());
    std::vector<bool> changes;
    shield.on_change = [&](bool active) { changes.push_back(active); };
    ASSERT_GE(shield.fd(), 0) << "the second address is the bus";
    serve(shield, {shell.get()}, [&] { return shield.active(); });
    EXPECT_TRUE(shield.active()) << "asked at the start";
    EXPECT_EQ(serve(shield, {shell.get()}, kNever, kSettle), 0) << "nothing else wakes the game";

    for (const bool active : {false, true}) {
        shell->say(active);
        serve(shield, {shell.get()}, [&] { return shield.active() == active; });
        EXPECT_EQ(shield.active(), active);
    }

    Program impostor(bus.address());
    impostor.say(false);
    impostor.say(false, shell->caller);
    impostor.round_trip();
    serve(shield, {shell.get()}, kNever, kSettle);
    EXPECT_TRUE(shield.active()) << "only the shell's own word counts";

    shell.reset();
    serve(shield, {}, [&] { return !shield.active(); });
    EXPECT_FALSE(shield.active()) << "a shell that has gone shields nothing";
    ShellStandIn next(bus.address(), true);
    serve(shield, {&next}, [&] { return shield.active(); });
    EXPECT_TRUE(shield.active()) << "a shell that takes the name is asked";

    bus.end();
    serve(shield, {}, [&] { return shield.fd() < 0; });
    EXPECT_EQ(shield.fd(), -1) << "the bus has gone";
    EXPECT_EQ(changes, (std::vector<bool>{true, false, true, false, true, false}));
}

TEST(DesktopShield, WithoutABusThereIsNoShield)
{
    TempDir dir;
    testing::write_file(dir.file("file"), "");
    const std::string addresses[] = {"", "tcp:host=localhost,port=1", "unix:path=" + dir.file("none"),
        "unix:abstract=pellavin-no-bus-" + std::to_string(getpid()), "unix:path=" + dir.file("file")};
    for (const std::string& address : addresses) {
        DesktopShield shield(address);
        shield.dispatch();
        EXPECT_EQ(shield.fd(), -1) << address;
        EXPECT_EQ(shield.events(), 0) << address;
        EXPECT_FALSE(shield.active()) << address;
    }
}

// A bus that refuses the login leaves the game alone: no shield, and no
// wake-ups. One that sends what is no message, or hangs up, is left.
TEST(DesktopShield, LeavesABusThatBreaksItsWord)
{
    const std::string accepted = "DATA\r\nOK 0123456789abcdef0123456789abcdef\r\nAGREE_UNIX_FD\r\n";
    constexpr size_t kShown = 20;
    const std::string name = "pellavin-shield-test-" + std::to_string(getpid());
    struct Case {
        std::optional<std::string> reply;  // none: the bus hangs up
        bool left;
    };
    const Case cases[] = {{"REJECTED EXTERNAL\r\n", false}, {accepted + std::string(16, 'x'), true}, {std::nullopt, true}};
    for (const Case& c : cases) {
        sockaddr_un where{AF_UNIX, {}};
        name.copy(where.sun_path + 1, name.size());  // abstract: after a NUL
        const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&where),
                      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())), 0);
        listen(listener, 1);
        DesktopShield shield("unix:abstract=" + name);
        ASSERT_GE(shield.fd(), 0);
        const int peer = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        serve(shield, {}, kNever, kSettle);
        std::string said(4096, '\0');
        said.resize(static_cast<size_t>(std::max<ssize_t>(0, recv(peer, said.data(), said.size(), MSG_DONTWAIT))));
        EXPECT_TRUE(said.starts_with(std::string(1, '\0') + "AUTH EXTERNAL")) << said.substr(0, kShown);

        const std::string what = c.reply.value_or("hung up").substr(0, kShown);
        if (c.reply) send(peer, c.reply->data(), c.reply->size(), MSG_NOSIGNAL);
        if (!c.reply) close(peer);
        const int wakes = serve(shield, {}, [&] { return shield.fd() < 0; }, kSettle);
        EXPECT_EQ(shield.fd() < 0, c.left) << what;
        EXPECT_LE(wakes, 2) << what;
        EXPECT_FALSE(shield.active()) << what;
        if (c.reply) close(peer);
        close(listener);
    }
}

// A flood of messages to the game is taken a share at a time: the loop
// comes back for the rest at once, and the game's own work goes on between.
TEST(DesktopShield, TakesAFloodAShareATurn)
{
    testing::DbusDaemon bus;
    ASSERT_TRUE(bus.up()) << "dbus-daemon did not start";
    auto shell = std::make_unique<ShellStandIn>(bus.address(), true);
    DesktopShield shield(bus.address());
    serve(shield, {shell.get()}, [&] { return shield.active(); });
    ASSERT_TRUE(shield.active());
    Program flood(bus.address());
    constexpr int kSignals = DesktopShield::kMostMessages * 4;
    for (int i = 0; i < kSignals; ++i) flood.say(false, shell->caller);
    flood.round_trip();
    int turns = 0;
    for (bool first = true; first || shield.more_to_do(); first = false, ++turns) {
        pollfd fd{shield.fd(), shield.events(), 0};
        poll(&fd, 1, first ? 1000 : 0);
        shield.dispatch();
    }
    EXPECT_GE(turns, kSignals / DesktopShield::kMostMessages) << "a turn took more than its share";
    EXPECT_TRUE(shield.active()) << "only the shell's own word counts";
}

}  // namespace
}  // namespace pellavin::screen
