#include "idle/watcher.h"

#include "common/program_directory.h"
#include "idle/bus/bus_connection.h"
#include "idle/bus_parts.h"
#include "idle/rules/idle_rules.h"
#include "idle/runner_process.h"
#include "idle/sources/session.h"
#include "idle/session_lock.h"
#include "idle/settings_watch.h"
#include "idle/rules/timers.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <poll.h>
#include <string>
#include <vector>

namespace pellavin::idle {
namespace {

constexpr char kProgram[] = "PellavinIdle";
constexpr char kRunner[] = "PellavinRun";
constexpr Milliseconds kMinute{60'000};
// The panel takes the watcher out of the session when the box is cleared;
// the one running goes as soon as it reads that.
constexpr char kSwitchedOff[] = "\"Enable Screensaver\" is off: no game will start by itself, so this watcher ends";
// Test-only: the length of a minute in milliseconds, so that tests and
// measurements need not wait real minutes.
constexpr char kMinuteKnob[] = "PELLAVIN_IDLE_MINUTE_MS";

void say(const std::string& line)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str());
    std::fflush(stderr);
}

Milliseconds minute_length()
{
    const char* text = std::getenv(kMinuteKnob);
    if (!text) return kMinute;
    long milliseconds = 0;
    const char* end = text + std::strlen(text);
    const auto [at, error] = std::from_chars(text, end, milliseconds);
    if (error == std::errc{} && at == end && milliseconds > 0) return Milliseconds(milliseconds);
    say(std::string(kMinuteKnob) + " is not a number of milliseconds; a minute is 60000");
    return kMinute;
}

// The soonest of the time limits, -1 for none.
int soonest(std::initializer_list<int> timeouts)
{
    int soonest = -1;
    for (int timeout : timeouts) {
        if (timeout >= 0 && (soonest < 0 || timeout < soonest)) soonest = timeout;
    }
    return soonest;
}

// What the watcher waits on, all of it.
struct Watched {
    SessionIdleSource& idle;
    SettingsWatch& settings;
    RunnerProcess& runner;
    BusConnection& session_bus;
    BusConnection& system_bus;
    SilentKeeperCalls& calls;
    Timers& timers;
};

enum class Ending { SessionEnded, SwitchedOff, Failed };

// Waits on every descriptor that is open, and on nothing else: only the
// session, the settings, the runner, the buses and the watcher's own
// deadlines (a question asked again) wake the process.
Ending run_loop(Watched& watched, IdleRules& rules, const SettingsFile& settings_file)
{
    for (;;) {
        watched.idle.flush();
        std::vector<pollfd> fds = {{watched.idle.fd(), watched.idle.events(), 0}, {watched.settings.fd(), POLLIN, 0},
            {watched.runner.fd(), POLLIN, 0}, {watched.session_bus.fd(), watched.session_bus.events(), 0},
            {watched.system_bus.fd(), watched.system_bus.events(), 0}, {watched.calls.fd(), watched.calls.events(), 0}};
        const int timeout = soonest({watched.idle.timeout_ms(), watched.session_bus.timeout_ms(),
            watched.system_bus.timeout_ms(), watched.calls.timeout_ms(), watched.timers.timeout_ms()});
        if (poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) continue;
            say(std::string("waiting failed: ") + std::strerror(errno));
            return Ending::Failed;
        }
        if (fds[1].revents && watched.settings.changed()) {
            rules.load_settings(settings_file);
            if (rules.switched_off()) return Ending::SwitchedOff;
        }
        if (fds[2].revents) {
            watched.runner.ended();
            rules.runner_ended();
        }
        // Without a bus the watcher goes on with what is left: what the
        // parts there last said holds nothing off any more.
        if (!watched.session_bus.process()) {
            say("the session bus has gone (" + watched.session_bus.problem()
                + "): nothing on it holds the game off or says that the desktop has blanked");
            rules.forget_session_bus();
        }
        if (!watched.calls.process()) say("watching the calls to the desktop's screensaver service has ended");
        if (!watched.system_bus.process()) rules.set_blanked(IdleRules::Blank::Logind, false);
        watched.timers.run_due();
        // Last: the session's own end, and whatever the buses' news made it send.
        if (!watched.idle.dispatch()) return Ending::SessionEnded;
    }
}

}  // namespace

int run_watcher()
{
    // Whatever the parent left, these end the watcher at once, and a
    // session that goes away ends it through its connection, not a signal.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) std::signal(signal, SIG_DFL);
    std::signal(SIGPIPE, SIG_IGN);

    // Before any connection: a second watcher, as each Save with the box
    // checked starts one, leaves at once.
    std::list<SessionLock> locks;
    for (const std::string& key : session_keys()) {
        const SessionLock& lock = locks.emplace_back(key);
        if (lock.state() == SessionLock::State::HeldElsewhere) {
            say("another " + std::string(kProgram) + " is watching this session already (" + lock.path() + ")");
            return 1;
        }
        if (lock.state() == SessionLock::State::Failed) {
            say("cannot make sure that no other one watches this session: " + lock.problem());
            break;
        }
    }

    Timers timers;
    SayOnce say_once(say);
    BusConnection session_bus(BusConnection::Kind::Session);
    const BusContext on_session_bus{session_bus, timers, say_once};
    Session session;
    try {
        session = connect_session(on_session_bus);
    } catch (const SessionError& error) {
        say(error.what());
        return 1;
    }
    if (!session.note.empty()) say(session.note);

    const std::string directory = program_directory();
    const SettingsFile settings_file = SettingsFile::locate(directory);
    RunnerProcess runner(directory + "/" + kRunner);
    IdleRules rules(*session.idle, runner, say, minute_length());
    session.idle->say = say;

    SettingsWatch settings(settings_file.sources());
    if (!settings.problem().empty()) {
        say("cannot watch the settings for changes (" + settings.problem() + "): they take effect at the next start");
    }
    rules.load_settings(settings_file);
    if (rules.switched_off()) {
        say(kSwitchedOff);
        return 0;
    }

    BusConnection system_bus(BusConnection::Kind::System);
    const BusContext on_system_bus{system_bus, timers, say_once};
    BusParts parts(on_session_bus, on_system_bus, *session.idle, rules);

    Watched watched{*session.idle, settings, runner, session_bus, system_bus, parts.calls(), timers};
    const Ending ending = run_loop(watched, rules, settings_file);
    if (ending == Ending::SwitchedOff) say(kSwitchedOff);
    else if (ending == Ending::SessionEnded) say("the session has ended");
    return ending == Ending::Failed ? 1 : 0;
}

}  // namespace pellavin::idle
